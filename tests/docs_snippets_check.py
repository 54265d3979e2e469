#!/usr/bin/env python3
"""Every Python and R snippet of the docs runs as a reader would paste it.

    tests/docs_snippets_check.py python|r [PAGE.md ...]

For each page (README.md and docs/*.md by default), its ```python blocks (or
```r blocks) are written in order into one script and run from the
repository's root, in a fresh interpreter: a block may use what an earlier
block of its page defined, nothing else. Python finds the package in
python/ unless it is installed, and the library by VEXAL_LIBRARY; R needs the
package installed (R_LIBS). A page whose snippets fail is reported with the
interpreter's last lines.
"""
import glob
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FENCE = {"python": re.compile(r"^```python\s*$"), "r": re.compile(r"^```[rR]\s*$")}


def snippets(page, language):
    blocks, block = [], None
    with open(page, encoding="utf-8") as f:
        for line in f:
            if block is None and FENCE[language].match(line):
                block = []
            elif block is not None and line.startswith("```"):
                if any(b.startswith(">>> ") for b in block):  # a session: its input lines only
                    block = [b[4:] for b in block if b.startswith((">>> ", "... "))]
                blocks.append("".join(block))
                block = None
            elif block is not None:
                block.append(line)
    return blocks


def run(language, script):
    if language == "python":
        env = dict(os.environ)
        env["PYTHONPATH"] = os.pathsep.join(filter(None, [os.path.join(ROOT, "python"), env.get("PYTHONPATH")]))
        cmd = [sys.executable, "-W", "ignore", script]
    else:
        env, cmd = dict(os.environ), ["Rscript", "--vanilla", script]
    return subprocess.run(cmd, cwd=ROOT, env=env, capture_output=True, text=True, timeout=600)


def main(argv):
    language = argv[1]
    pages = argv[2:] or [os.path.join(ROOT, "README.md")] + sorted(glob.glob(os.path.join(ROOT, "docs", "*.md")))
    passed, failed = 0, 0
    with tempfile.TemporaryDirectory() as tmp:
        for page in pages:
            blocks = snippets(page, language)
            if not blocks:
                continue
            script = os.path.join(tmp, os.path.basename(page) + (".py" if language == "python" else ".R"))
            with open(script, "w", encoding="utf-8") as f:
                f.write("\n".join(blocks))
            out = run(language, script)
            if out.returncode == 0:
                passed += 1
            else:
                failed += 1
                print("FAIL %s (%d %s snippets):\n%s" % (os.path.relpath(page, ROOT), len(blocks), language,
                                                          "\n".join((out.stdout + out.stderr).splitlines()[-15:])))
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
