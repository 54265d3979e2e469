"""pip install of the Python package, offline, with the library beside it.

    python3 tests/python_install_check.py LIBRARY WORKDIR

Copies python/ and the built library into WORKDIR, installs the package with
`pip install --no-build-isolation --no-index --target`, and imports it in a
fresh process without VEXAL_LIBRARY, so it must find the library beside
itself. The package builds with its own backend, so any interpreter with
pip will do.
"""
import os
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def main(library, work):
    shutil.rmtree(work, ignore_errors=True)
    src, site = os.path.join(work, "src"), os.path.join(work, "site")
    shutil.copytree(os.path.join(ROOT, "python"), src,
                    ignore=shutil.ignore_patterns("build", "*.egg-info", "__pycache__"))
    name = os.path.basename(library) if library.lower().endswith(".dll") else "libvexal.so"
    shutil.copy(library, os.path.join(src, "vexal", name))
    subprocess.run([sys.executable, "-m", "pip", "install", "--no-build-isolation", "--no-deps", "--no-index",
                    "--disable-pip-version-check", "-q", "--target", site, src], check=True, timeout=240)
    env = {k: v for k, v in os.environ.items() if k != "VEXAL_LIBRARY"}
    env["PYTHONPATH"] = site
    code = ("import inspect, vexal\n"
            "print(vexal.library_path())\n"
            "print(inspect.signature(vexal.call_eur))\n"
            "print(repr(vexal.norm(0)), vexal.call_eur(100, 100, 1, 0.05, 0.2, 0))\n")
    out = subprocess.run([sys.executable, "-c", code], env=env, cwd=work, capture_output=True, text=True,
                         timeout=60)
    print(out.stdout + out.stderr)
    lines = out.stdout.splitlines()
    ok = (out.returncode == 0 and len(lines) == 3 and lines[0].startswith(site)
          and lines[1] == "(S, K, T, r, sigma, q) -> float" and lines[2].startswith("0.3989422804014328"))
    print("1 passed, 0 failed" if ok else "0 passed, 1 failed")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
