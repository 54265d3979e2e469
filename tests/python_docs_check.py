"""The Python page's worked examples: docs/python_examples.py is run and every
output block of docs/python.md must appear in what it prints.

    python3 tests/python_docs_check.py WORKDIR     (VEXAL_LIBRARY set)
"""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def main(work):
    try:
        import numpy  # noqa: F401
        import pandas  # noqa: F401
    except ImportError:
        print("numpy and pandas are not installed for this interpreter: skipped\n0 passed, 0 failed")
        return 0
    os.makedirs(work, exist_ok=True)
    out = subprocess.run([sys.executable, "-W", "ignore", os.path.join(ROOT, "docs", "python_examples.py"),
                          "--figures", work], capture_output=True, text=True, timeout=300)
    print(out.stdout + out.stderr)
    blocks, block, tagged = [], None, False
    with open(os.path.join(ROOT, "docs", "python.md")) as f:
        for line in f:
            if line.startswith("```"):
                if block is None:
                    block, tagged = [], line.strip() != "```"
                else:
                    if not tagged:  # an untagged block is printed output
                        blocks.append("".join(block))
                    block = None
            elif block is not None:
                block.append(line)
    printed = "\n".join(line.rstrip() for line in out.stdout.splitlines())
    missing = [b for b in blocks if "\n".join(line.rstrip() for line in b.splitlines()) not in printed]
    for b in missing:
        print("not printed by the examples:\n" + b)
    ok = out.returncode == 0 and blocks and not missing
    if ok and "matplotlib is not installed" not in out.stdout:
        ok = os.path.getsize(os.path.join(work, "smile.png")) > 1000
    print("%d passed, %d failed" % (len(blocks) - len(missing), len(missing) + (0 if ok or missing else 1)))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
