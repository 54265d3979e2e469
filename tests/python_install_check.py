"""The one-step install: a fresh virtual environment, `pip install ./python`
and nothing else, then the package's own test suite against what it installed.

    python3 tests/python_install_check.py WORKDIR

Offline: pip is given no index. The install builds the library from the
repository's sources with CMake (build isolation on); `pip wheel` (isolation
off) must give a platform wheel that carries the library. The venv sees the
interpreter's own packages (numpy, pandas, dask where installed), not this
repository, and VEXAL_LIBRARY is unset.
"""
import glob
import os
import shutil
import subprocess
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run(cmd, **kw):
    print("$ " + " ".join(cmd), flush=True)
    return subprocess.run(cmd, timeout=600, **kw)


def main(work):
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    venv, wheels = os.path.join(work, "venv"), os.path.join(work, "wheels")
    env = {k: v for k, v in os.environ.items() if k not in ("VEXAL_LIBRARY", "PYTHONPATH")}
    py = os.path.join(venv, "Scripts" if os.name == "nt" else "bin", "python")
    pip = [py, "-m", "pip", "--disable-pip-version-check", "-q"]
    failures = []

    def check(ok, what):
        print(("ok: " if ok else "FAILED: ") + what, flush=True)
        if not ok:
            failures.append(what)
        return ok

    if not check(run([sys.executable, "-m", "venv", "--system-site-packages", venv], env=env).returncode == 0,
                 "python -m venv"):
        return finish(failures)
    check(run(pip + ["install", "--no-index", os.path.join(ROOT, "python")], env=env).returncode == 0,
          "pip install ./python")
    check(run(pip + ["wheel", "--no-index", "--no-deps", "--no-build-isolation", "-w", wheels,
                     os.path.join(ROOT, "python")], env=env).returncode == 0, "pip wheel ./python")
    built = glob.glob(os.path.join(wheels, "vexal-*.whl"))
    if check(len(built) == 1 and not built[0].endswith("-none-any.whl"), "a platform wheel: %s" % built):
        names = zipfile.ZipFile(built[0]).namelist()
        check(any(n.startswith("vexal/") and ("libvexal" in n or n.endswith(".dll")) for n in names),
              "the wheel carries the library")

    code = ("import os, vexal\n"
            "print(os.path.dirname(vexal.__file__) == os.path.dirname(vexal.library_path()))\n"
            "print(vexal.library_path())\n"
            "print(repr(vexal.call_eur(100, 100, 1, 0.05, 0.2, 0)))\n")
    out = run([py, "-c", code], env=env, cwd=work, capture_output=True, text=True)
    print(out.stdout + out.stderr)
    lines = out.stdout.splitlines()
    check(out.returncode == 0 and len(lines) == 3 and lines[0] == "True" and lines[1].startswith(venv)
          and lines[2].startswith("10.4505756193"), "import and call with nothing set, library inside the venv")

    tests = os.path.join(work, "tests")
    shutil.copytree(os.path.join(ROOT, "python", "tests"), tests, ignore=shutil.ignore_patterns("__pycache__"))
    suite = run([py, "-m", "unittest", "discover", "-s", tests], env=dict(env, VEXAL_TEST_INSTALLED="1"),
                cwd=work)
    check(suite.returncode == 0, "the package's tests against the installed package")
    return finish(failures)


def finish(failures):
    print("%d passed, %d failed" % (1 if not failures else 0, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
