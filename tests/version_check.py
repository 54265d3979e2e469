"""One version: CMake's project(Vexal VERSION x.y.z), and every other place
that names the version agrees with it.

    python3 tests/version_check.py

CMake hands the version to the shared library's soname and to the Windows
version resource (cmake/version.rc.in); scripts/release.sh and the Python
build backend (python/_build/vexal_build.py) read it from CMakeLists.txt.
What has to be written out by hand is checked here: R's DESCRIPTION, the
Python package's __version__, and that pyproject.toml leaves the version to
the backend.
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def read(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        return f.read()


def main():
    version = re.search(r"^project\(Vexal VERSION ([0-9]+\.[0-9]+\.[0-9]+)\b", read("CMakeLists.txt"), re.M).group(1)
    sys.path.insert(0, os.path.join(ROOT, "python", "_build"))
    import vexal_build  # noqa: E402

    pyproject = read("python/pyproject.toml")
    failed = 0
    for path, found in [
            ("r/vexal/DESCRIPTION", re.findall(r"^Version: *(\S+)", read("r/vexal/DESCRIPTION"), re.M)),
            ("python/vexal/__init__.py", re.findall(r'^__version__ = "([^"]*)"', read("python/vexal/__init__.py"), re.M)),
            ("python/_build/vexal_build.py", [vexal_build.VERSION]),
            # dynamic: the backend's, above
            ("python/pyproject.toml", re.findall(r'^version *= *"([^"]*)"', pyproject, re.M)
             or ([version] if re.search(r'^dynamic *= *\[[^]]*"version"', pyproject, re.M) else []))]:
        if found != [version]:
            failed += 1
            print("FAIL %s names version %s, CMakeLists.txt %s" % (path, ", ".join(found) or "none", version))
    # Configured by CMake: no version of their own.
    for path in ("cmake/version.rc.in", "cmake/install.cmake"):
        if os.path.exists(os.path.join(ROOT, path)) and re.search(r"\b\d+[.,]\d+[.,]\d+\b", read(path)):
            failed += 1
            print("FAIL %s writes a version out instead of taking CMake's" % path)
    print("version %s: %s" % (version, "%d places disagree" % failed if failed else "every place agrees"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
