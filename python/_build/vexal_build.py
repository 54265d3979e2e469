"""A build backend for the vexal package that needs nothing but Python, CMake
and a C++ compiler.

The package is Python (ctypes) around the shared library, so a wheel is a zip
of vexal/, the library and the metadata. The library comes, in this order,
from a prebuilt copy already beside the modules (python/vexal/libvexal.so and
the like), else from a CMake build of the repository's sources (the folder
above python/, or _src/ inside an sdist) made in a temporary folder: the
library target only, no tests, no benchmarks. Set VEXAL_BUILD_LIBRARY=0 for a
pure-Python wheel that finds the library through VEXAL_LIBRARY or the loader.

Needing no setuptools or wheel, `pip install ./python` works offline with
build isolation on or off, on any interpreter.
"""
import base64
import hashlib
import io
import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tarfile
import tempfile
import zipfile

NAME = "vexal"
HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIBRARIES = ("libvexal.so", "Vexal.dll", "Vexal64.dll", "libvexal.dylib")


def _source_folders():
    """The library's folders, as cmake/sources.txt lists them for CMake."""
    path = os.path.join(os.path.dirname(HERE), "cmake", "sources.txt")
    if not os.path.exists(path):
        path = os.path.join(HERE, "_src", "cmake", "sources.txt")
    if not os.path.exists(path):
        return ()
    with open(path, encoding="utf-8") as f:
        return tuple(line.strip() for line in f if line[:1].isalpha())


# What a CMake build of the library needs from the repository (for the sdist).
SOURCES = ("CMakeLists.txt", "cmake", "exports", "include", "cli", "tools", "LICENSE") + _source_folders()

METADATA = """Metadata-Version: 2.1
Name: vexal
Version: {version}
Summary: Quantitative-finance functions of the Vexal library, scalars and arrays
License: MIT
Classifier: License :: OSI Approved :: MIT License
Requires-Python: >=3.8
Provides-Extra: numpy
Requires-Dist: numpy; extra == "numpy"
Provides-Extra: pandas
Requires-Dist: numpy; extra == "pandas"
Requires-Dist: pandas; extra == "pandas"
Provides-Extra: dask
Requires-Dist: dask; extra == "dask"
Requires-Dist: distributed; extra == "dask"
"""

WHEEL = """Wheel-Version: 1.0
Generator: vexal_build
Root-Is-Purelib: {purelib}
Tag: {tag}
"""


def _prebuilt():
    pkg = os.path.join(HERE, NAME)
    return [os.path.join(pkg, e) for e in sorted(os.listdir(pkg))
            if (e in LIBRARIES or e.startswith("libvexal.so.")) and os.path.isfile(os.path.join(pkg, e))]


def _source_root():
    for root in (os.path.dirname(HERE), os.path.join(HERE, "_src")):
        if os.path.isfile(os.path.join(root, "exports", "export_table.h")):
            return root
    return None


def _version():
    """The project version: project(Vexal VERSION x.y.z) of the sources'
    CMakeLists.txt, or, in an sdist made without them, its PKG-INFO."""
    root = _source_root()
    path, pattern = ((os.path.join(root, "CMakeLists.txt"), r"^project\(Vexal VERSION ([0-9.]+)") if root else
                     (os.path.join(HERE, "PKG-INFO"), r"^Version: (\S+)"))
    try:
        with open(path, encoding="utf-8") as f:
            found = re.search(pattern, f.read(), re.M)
    except OSError:
        found = None
    if not found:
        raise RuntimeError("vexal: no project version in %s" % path)
    return found.group(1)


VERSION = _version()


def _build_library(work):
    """Build the shared library with CMake in work; returns its path."""
    root = _source_root()
    if root is None:
        raise RuntimeError("vexal: no prebuilt library beside the package and no library sources to "
                           "build it from (expected them above python/ or in _src/)")
    cmake = shutil.which("cmake")
    if cmake is None:
        raise RuntimeError("vexal: building the library needs CMake (3.20 or later) on the PATH")
    build = os.path.join(work, "build")
    configure = [cmake, "-S", root, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                 "-DVEXAL_TESTS=OFF", "-DVEXAL_BENCH=OFF", "-DVEXAL_FUZZ=OFF"]
    jobs = str(max(1, min(os.cpu_count() or 1, 8)))
    for cmd in (configure, [cmake, "--build", build, "--target", "vexal", "--parallel", jobs]):
        print("vexal_build: " + " ".join(cmd), file=sys.stderr)
        done = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if done.returncode != 0:
            sys.stderr.write(done.stdout)
            raise RuntimeError("vexal: building the library failed (%s)" % " ".join(cmd))
    for folder in (os.path.join(build, "bin"), os.path.join(build, "bin", "Release"), build):
        for name in ("libvexal.so", "libvexal.dylib", "Vexal64.dll", "Vexal.dll"):
            path = os.path.join(folder, name)
            if os.path.isfile(path):
                return os.path.realpath(path)  # the file itself, not the symlink
    raise RuntimeError("vexal: the CMake build made no library under " + build)


def _platform_tag():
    return "py3-none-" + sysconfig.get_platform().replace("-", "_").replace(".", "_")


def _record_line(arcname, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return "%s,sha256=%s,%d" % (arcname, digest, len(data))


def _licence():
    """The text of the licence (LICENSE of the repository or of the sdist)."""
    for folder in (os.path.dirname(HERE), HERE, os.path.join(HERE, "_src")):
        path = os.path.join(folder, "LICENSE")
        if os.path.isfile(path):
            with open(path, "rb") as f:
                return f.read()
    return None


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def _wheel_files(work):
    """(source path, name in the wheel) pairs: the modules and the library."""
    pkg = os.path.join(HERE, NAME)
    files = [(os.path.join(pkg, e), NAME + "/" + e) for e in sorted(os.listdir(pkg)) if e.endswith(".py")]
    libs = _prebuilt()
    if os.environ.get("VEXAL_WHEEL_LIBRARY"):  # a library already built, e.g. by scripts/release.sh
        path = os.path.realpath(os.environ["VEXAL_WHEEL_LIBRARY"])
        base = os.path.basename(path)
        files.append((path, NAME + "/" + ("libvexal.so" if base.startswith("libvexal.so") else base)))
    elif libs:
        files += [(p, NAME + "/" + os.path.basename(p)) for p in libs]
    elif os.environ.get("VEXAL_BUILD_LIBRARY", "1") != "0":
        path = _build_library(work)
        base = os.path.basename(path)
        name = "libvexal.so" if base.startswith("libvexal.so") else base
        files.append((path, NAME + "/" + name))
    return files


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    dist_info = "%s-%s.dist-info" % (NAME, VERSION)
    work = tempfile.mkdtemp(prefix="vexal-build-")
    try:
        files = _wheel_files(work)
        native = any(not arc.endswith(".py") for _, arc in files)
        tag = _platform_tag() if native else "py3-none-any"
        filename = "%s-%s-%s.whl" % (NAME, VERSION, tag)
        records = []
        with zipfile.ZipFile(os.path.join(wheel_directory, filename), "w", zipfile.ZIP_DEFLATED) as whl:
            def add(arcname, data, mode=0o644):
                info = zipfile.ZipInfo(arcname, date_time=(1980, 1, 1, 0, 0, 0))
                info.external_attr = mode << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                whl.writestr(info, data)
                records.append(_record_line(arcname, data))

            for path, arcname in files:
                with open(path, "rb") as f:
                    add(arcname, f.read(), 0o644 if arcname.endswith(".py") else 0o755)
            add(dist_info + "/METADATA", METADATA.format(version=VERSION).encode())
            licence = _licence()
            if licence:
                add(dist_info + "/LICENSE", licence)
            add(dist_info + "/WHEEL", WHEEL.format(purelib="false" if native else "true", tag=tag).encode())
            add(dist_info + "/top_level.txt", (NAME + "\n").encode())
            record = dist_info + "/RECORD"
            whl.writestr(zipfile.ZipInfo(record, date_time=(1980, 1, 1, 0, 0, 0)),
                         "\n".join(records + [record + ",,"]) + "\n")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return filename


def build_sdist(sdist_directory, config_settings=None):
    """The package with the library's sources in _src/, so that a wheel can be
    built from the sdist alone."""
    base = "%s-%s" % (NAME, VERSION)
    filename = base + ".tar.gz"
    skip = lambda t: None if "__pycache__" in t.name or t.name.endswith((".so", ".dll", ".dylib")) else t
    with tarfile.open(os.path.join(sdist_directory, filename), "w:gz") as tar:
        for entry in ("pyproject.toml", "README.md", "_build", NAME):
            path = os.path.join(HERE, entry)
            if os.path.exists(path):
                tar.add(path, arcname=base + "/" + entry, filter=skip)
        root = _source_root()
        if root is not None:
            for entry in SOURCES:
                path = os.path.join(root, entry)
                if os.path.exists(path):
                    tar.add(path, arcname=base + "/_src/" + entry, filter=skip)
        pkg_info = METADATA.format(version=VERSION).encode()
        info = tarfile.TarInfo(base + "/PKG-INFO")
        info.size = len(pkg_info)
        tar.addfile(info, io.BytesIO(pkg_info))
    return filename
