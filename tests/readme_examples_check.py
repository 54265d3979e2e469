"""Runs the README's CLI examples and compares hosts.

    python3 tests/readme_examples_check.py CLI [OTHER_CLI]

Each CLI is a command line, e.g. "build/bin/vexal" or
"wine build-win32/bin/vexal.exe". Every example must succeed; with two CLIs
their printed results must agree up to the last digits (the two C runtimes'
exp, log and pow may differ in the last bits). A GARCH fit stops when the
objective changes by less than 1e-9, which fixes its parameters only to
about 1e-4 on a flat likelihood: there a last-bit difference moves the
fitted parameters at that level, so fits are compared to 1e-3.
"""
import os
import re
import shlex
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def examples():
    text = open(os.path.join(ROOT, "README.md"), encoding="utf-8").read()
    block = text.split("### Examples", 1)[1].split("```sh", 1)[1].split("```", 1)[0]
    block = block.replace("\\\n", " ")
    for line in block.splitlines():
        line = line.split("#", 1)[0].strip()
        if line.startswith("$V "):
            yield shlex.split(line)[1:]


def run(cli, args):
    p = subprocess.run(shlex.split(cli) + args, capture_output=True, text=True, cwd=ROOT, timeout=300,
                       env=dict(os.environ, WINEDEBUG="-all"))
    if p.returncode != 0:
        raise SystemExit("FAIL %s %s: exit %d\n%s" % (cli, " ".join(args), p.returncode, p.stderr))
    return [float(x) for x in p.stdout.split()]


def close(a, b, rel):
    return a == b or abs(a - b) <= rel * max(abs(a), abs(b))


def main():
    clis = sys.argv[1:]
    passed = failed = 0
    largest = {False: 0.0, True: 0.0}  # relative difference, without and with a GARCH fit
    for args in examples():
        results = [run(cli, args) for cli in clis]
        fit = "garch_o" in args
        for r in results[1:]:
            for a, b in zip(r, results[0]):
                if a != b and max(abs(a), abs(b)) > 0:
                    largest[fit] = max(largest[fit], abs(a - b) / max(abs(a), abs(b)))
        rel = 1e-3 if fit else 1e-9
        if all(len(r) == len(results[0]) and all(close(a, b, rel) for a, b in zip(r, results[0]))
               for r in results):
            passed += 1
        else:
            failed += 1
            print("FAIL", " ".join(args), results)
    if len(clis) > 1:
        print("largest relative difference %.3g, in the GARCH fit %.3g" % (largest[False], largest[True]))
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
