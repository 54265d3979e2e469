#!/usr/bin/env python3
"""A new pure function is its table row and its definition, nothing else.

    tests/new_row_check.py [WORKDIR]

copies the repository into a scratch folder, adds one row to the precise
table and its definition in precise/, re-runs the generators and builds the
library and the CLI there; then every surface must have the function: the C
header, the CLI (call and help), the Python package (call, docstring with the
row's note, arrays), the R help page and the VBA module. The scratch copy is
removed afterwards: the row never reaches the repository.
"""
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ROW = ('  F(precise_example_half, (N(x)), PURE, "half of x", '
       '"an example row; NaN gives NaN")')
DEFINITION = """// An example row: half of x.
#include "precise/functions.h"

namespace vexal {
double precise_example_half(double x) { return 0.5 * x; }
}  // namespace vexal
"""
PASSED, FAILED = [], []


def check(what, ok):
    (PASSED if ok else FAILED).append(what)
    if not ok:
        print("FAIL " + what)


def run(*cmd, cwd=None, env=None):
    return subprocess.run(cmd, cwd=cwd, env=env, check=True, capture_output=True, text=True).stdout


def add_row(src):
    table = os.path.join(src, "precise", "precise_table.h")
    with open(table, encoding="utf-8") as f:
        lines = f.read().split("\n")
    last = max(i for i, line in enumerate(lines) if line.lstrip().startswith("F(precise_"))
    lines[last] += " \\"
    lines.insert(last + 1, ROW)
    with open(table, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))
    with open(os.path.join(src, "precise", "example_half.cpp"), "w", encoding="utf-8") as f:
        f.write(DEFINITION)


def main(argv):
    work = argv[1] if len(argv) > 1 else tempfile.mkdtemp(prefix="vexal_new_row_")
    src, build = os.path.join(work, "src"), os.path.join(work, "build")
    try:
        files = run("git", "ls-files", "-co", "--exclude-standard", cwd=ROOT).split("\n")
        for rel in filter(None, files):
            if os.path.isfile(os.path.join(ROOT, rel)):
                os.makedirs(os.path.dirname(os.path.join(src, rel)), exist_ok=True)
                shutil.copy2(os.path.join(ROOT, rel), os.path.join(src, rel))
        add_row(src)
        run(sys.executable, "tools/gen_bindings.py", cwd=src)
        run(sys.executable, "tools/gen_r.py", cwd=src)
        run("cmake", "-S", src, "-B", build, "-DVEXAL_TESTS=OFF", "-DVEXAL_BENCH=OFF")
        run("cmake", "--build", build, "--target", "vexal", "vexal_cli", "-j%d" % (os.cpu_count() or 1))
        cli = os.path.join(build, "bin", "vexal")

        with open(os.path.join(src, "include", "vexal_precise.h")) as f:
            check("C header", "double vexal_precise_example_half(double x);" in f.read())
        check("CLI call", run(cli, "precise_example_half", "3").strip() == "1.5")
        check("CLI help", "an example row; NaN gives NaN" in run(cli, "help", "precise_example_half"))
        check("CLI list", "vexal_precise_example_half" in run(cli, "list"))
        py = ("import vexal, vexal.precise as p; import numpy as np; "
              "print(p.example_half(3.0)); print(p.example_half(np.array([1.0, 4.0])).tolist()); "
              "print('example row; NaN gives NaN' in p.example_half.__doc__)")
        env = dict(os.environ, VEXAL_LIBRARY=os.path.join(build, "bin", "libvexal.so"),
                   PYTHONPATH=os.path.join(src, "python"))
        try:
            out = run("/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable, "-c", py, env=env)
            check("Python: " + " ".join(out.split()), out.split() == ["1.5", "[0.5,", "2.0]", "True"])
        except subprocess.CalledProcessError as e:
            check("Python: " + e.stderr.strip().splitlines()[-1], False)
        rd = os.path.join(src, "r", "vexal", "man", "precise_example_half.Rd")
        check("R help page", os.path.exists(rd) and "an example row" in open(rd).read())
        with open(os.path.join(src, "r", "vexal", "R", "exports.R")) as f:
            check("R function", "precise_example_half <- function(x)" in f.read())
        with open(os.path.join(src, "vba", "Vexal.bas")) as f:
            bas = f.read()
            check("VBA", 'Alias "vexal_precise_example_half" (ByVal x As Double)' in bas)
            check("VBA, 32-bit", 'Lib "VexalPrecise.dll" Alias "precise_example_half@8" (ByVal x As Double)' in bas)
    finally:
        if len(argv) <= 1:
            shutil.rmtree(work, ignore_errors=True)
    print("%d passed, %d failed" % (len(PASSED), len(FAILED)))
    return 1 if FAILED else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
