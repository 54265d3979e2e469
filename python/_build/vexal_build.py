"""A build backend for the vexal package that needs nothing but Python.

The package is pure Python (ctypes), so a wheel is a zip of vexal/ (with a
library copied beside the modules, if any) and its metadata. Building it here
lets `pip install --no-build-isolation ./python` work offline on any
interpreter, with or without setuptools and wheel.
"""
import base64
import hashlib
import os
import zipfile

NAME = "vexal"
VERSION = "1.0.0"
HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIBRARIES = ("libvexal.so", "Vexal.dll", "Vexal64.dll", "libvexal.dylib")

METADATA = """Metadata-Version: 2.1
Name: vexal
Version: {version}
Summary: Quantitative-finance functions of the Vexal library through ctypes
Requires-Python: >=3.8
Provides-Extra: numpy
Requires-Dist: numpy; extra == "numpy"
"""

WHEEL = """Wheel-Version: 1.0
Generator: vexal_build
Root-Is-Purelib: true
Tag: py3-none-any
"""


def _package_files():
    pkg = os.path.join(HERE, NAME)
    for entry in sorted(os.listdir(pkg)):
        path = os.path.join(pkg, entry)
        if entry.endswith(".py") or entry in LIBRARIES or entry.startswith("libvexal.so."):
            if os.path.isfile(path):
                yield path, NAME + "/" + entry


def _record_line(arcname, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return "%s,sha256=%s,%d" % (arcname, digest, len(data))


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    dist_info = "%s-%s.dist-info" % (NAME, VERSION)
    filename = "%s-%s-py3-none-any.whl" % (NAME, VERSION)
    records = []
    with zipfile.ZipFile(os.path.join(wheel_directory, filename), "w", zipfile.ZIP_DEFLATED) as whl:
        def add(arcname, data, mode=0o644):
            info = zipfile.ZipInfo(arcname, date_time=(1980, 1, 1, 0, 0, 0))
            info.external_attr = mode << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            whl.writestr(info, data)
            records.append(_record_line(arcname, data))

        for path, arcname in _package_files():
            with open(path, "rb") as f:
                add(arcname, f.read(), 0o755 if arcname.endswith((".so", ".dll", ".dylib")) else 0o644)
        add(dist_info + "/METADATA", METADATA.format(version=VERSION).encode())
        add(dist_info + "/WHEEL", WHEEL.encode())
        add(dist_info + "/top_level.txt", (NAME + "\n").encode())
        record = dist_info + "/RECORD"
        whl.writestr(zipfile.ZipInfo(record, date_time=(1980, 1, 1, 0, 0, 0)),
                     "\n".join(records + [record + ",,"]) + "\n")
    return filename


def build_sdist(sdist_directory, config_settings=None):
    import tarfile
    base = "%s-%s" % (NAME, VERSION)
    filename = base + ".tar.gz"
    with tarfile.open(os.path.join(sdist_directory, filename), "w:gz") as tar:
        for entry in ("pyproject.toml", "README.md", "_build", NAME):
            path = os.path.join(HERE, entry)
            if os.path.exists(path):
                tar.add(path, arcname=base + "/" + entry,
                        filter=lambda t: None if "__pycache__" in t.name else t)
        pkg_info = METADATA.format(version=VERSION).encode()
        import io
        info = tarfile.TarInfo(base + "/PKG-INFO")
        info.size = len(pkg_info)
        tar.addfile(info, io.BytesIO(pkg_info))
    return filename
