"""The release artefacts, as a user receives them.

    python3 tests/release_check.py WORKDIR [ARTEFACTS]

Runs scripts/release.sh into WORKDIR/dist (or checks the folder ARTEFACTS
that it made before), then: SHA256SUMS covers every artefact; each zip, the
.deb, the wheel (and the R source package when the tree has one) holds
exactly the files of its list; the Windows binaries carry a version
resource naming the project version; the .deb installs with dpkg -i,
`man vexal` shows its page, a C program built with `pkg-config --cflags
--libs vexal` against it runs, and the package is removed again (root, or
sudo without a password, is needed: otherwise that part is reported
skipped); the wheel installs into a fresh venv and imports.
"""
import glob
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tarfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests"))
import version_resource_check  # noqa: E402

FAILURES = []
PASSED = []


def check(ok, what):
    print(("ok: " if ok else "FAILED: ") + what, flush=True)
    (PASSED if ok else FAILURES).append(what)
    return ok


def run(cmd, **kw):
    print("$ " + " ".join(cmd), flush=True)
    kw.setdefault("timeout", 1800)
    return subprocess.run(cmd, **kw)


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"^project\(Vexal VERSION ([0-9.]+)", f.read(), re.M).group(1)


def headers():
    return sorted(os.path.basename(h) for h in glob.glob(os.path.join(ROOT, "include", "*.h")))


def same_set(got, want, what):
    got, want = set(got), set(want)
    return check(got == want, "%s holds its list%s%s" % (
        what, "; missing %s" % sorted(want - got) if want - got else "",
        "; unexpected %s" % sorted(got - want) if got - want else ""))


def check_sums(dist, artefacts):
    with open(os.path.join(dist, "SHA256SUMS"), encoding="utf-8") as f:
        sums = dict(reversed(line.split(None, 1)) for line in f.read().splitlines())
    sums = {k.strip().lstrip("*"): v for k, v in sums.items()}
    same_set(sums, artefacts, "SHA256SUMS")
    for name in artefacts:
        with open(os.path.join(dist, name), "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        check(sums.get(name) == digest, "SHA256SUMS: %s" % name)


def check_zip(dist, version, arch, work):
    name = "vexal-%s-%s.zip" % (version, arch)
    top = name[:-4] + "/"
    dll, cli = ("Vexal.dll", "vexal.exe") if arch == "win32" else ("Vexal64.dll", "vexal64.exe")
    # The 32-bit zip has the precise family in Vexal.dll's companion.
    extra = ["VexalPrecise.dll"] if arch == "win32" else []
    want = [dll, cli, "Vexal.bas", "README.txt", "LICENSE.txt"] + extra
    want += ["include/vexal.h"] if arch == "win32" else ["include/" + h for h in headers()]
    with zipfile.ZipFile(os.path.join(dist, name)) as z:
        names = [n for n in z.namelist() if not n.endswith("/")]
        same_set([n[len(top):] if n.startswith(top) else n for n in names], want, name)
        z.extractall(work)
    folder = os.path.join(work, top)
    with open(os.path.join(folder, "README.txt"), "rb") as f:
        readme = f.read().decode("utf-8")
    check(version in readme and all(f in readme for f in [dll] + extra) and "Import File" in readme
          and "\r\n" in readme, "%s: README.txt names the version, the DLLs and the import, with CRLF" % name)
    with open(os.path.join(folder, "Vexal.bas"), "rb") as f, \
            open(os.path.join(ROOT, "vba", "Vexal.bas"), "rb") as g:
        check(f.read() == g.read(), "%s: Vexal.bas is the tree's module" % name)
    with open(os.path.join(folder, "LICENSE.txt"), "rb") as f:
        check(b"MIT License" in f.read(), "%s: LICENSE.txt is the MIT licence" % name)
    for binary in [dll, cli] + extra:
        problems = version_resource_check.check(os.path.join(folder, binary), version)
        check(not problems, "%s: %s's version resource names %s%s" % (name, binary, version,
                                                                      "".join("; " + p for p in problems)))


def deb_listing(deb):
    """{path: (type, link target)} of a .deb's data."""
    out = run(["dpkg-deb", "--fsys-tarfile", deb], capture_output=True).stdout
    import io
    entries = {}
    with tarfile.open(fileobj=io.BytesIO(out)) as tar:
        for m in tar.getmembers():
            path = "/" + m.name.lstrip("./")
            if m.isdir():
                continue
            entries[path] = ("link", m.linkname) if m.issym() else ("file", None)
    return entries


def check_deb(dist, version, work):
    arch = subprocess.run(["dpkg", "--print-architecture"], capture_output=True, text=True).stdout.strip()
    name = "vexal_%s_%s.deb" % (version, arch)
    deb = os.path.join(dist, name)
    multiarch = subprocess.run(["dpkg-architecture", "-qDEB_HOST_MULTIARCH"], capture_output=True,
                               text=True).stdout.strip() or "x86_64-linux-gnu"
    lib = "/usr/lib/%s/" % multiarch
    major = version.split(".")[0]
    want = {"/usr/bin/vexal", lib + "libvexal.so.%s" % version, lib + "libvexal.so.%s" % major,
            lib + "libvexal.so", lib + "libvexal.a", lib + "pkgconfig/vexal.pc",
            lib + "cmake/Vexal/VexalConfig.cmake", lib + "cmake/Vexal/VexalConfigVersion.cmake",
            lib + "cmake/Vexal/VexalTargets.cmake", lib + "cmake/Vexal/VexalTargets-release.cmake",
            "/usr/share/man/man1/vexal.1.gz", "/usr/share/doc/vexal/copyright",
            "/usr/share/doc/vexal/changelog.gz", "/usr/share/doc/vexal/README.md"}
    want |= {"/usr/include/" + h for h in headers()}
    entries = deb_listing(deb)
    same_set(entries, want, name)
    check(entries.get(lib + "libvexal.so") == ("link", "libvexal.so.%s" % major)
          and entries.get(lib + "libvexal.so.%s" % major) == ("link", "libvexal.so.%s" % version),
          "%s: libvexal.so -> libvexal.so.%s -> libvexal.so.%s" % (name, major, version))
    fields = {}
    for field in ("Package", "Version", "Architecture", "Depends"):
        fields[field] = run(["dpkg-deb", "-f", deb, field], capture_output=True, text=True).stdout.strip()
    check(fields["Package"] == "vexal" and fields["Version"] == version and fields["Architecture"] == arch
          and "libc6" in fields["Depends"], "%s: control fields %s" % (name, fields))
    unpacked = os.path.join(work, "deb")
    run(["dpkg-deb", "-x", deb, unpacked], check=True)
    with open(os.path.join(unpacked, "usr/share/doc/vexal/copyright"), encoding="utf-8") as f:
        check("License: MIT" in f.read(), "%s: the copyright file names the MIT licence" % name)
    soname = run(["objdump", "-p", os.path.join(unpacked, lib.lstrip("/"), "libvexal.so.%s" % version)],
                 capture_output=True, text=True).stdout
    check(re.search(r"SONAME\s+libvexal\.so\.%s\b" % major, soname) is not None, "%s: soname" % name)
    install_deb(deb, work)


def dpkg(args):
    """dpkg as root (or through sudo -n), waiting for a lock held by another install."""
    cmd = ["dpkg"] + args if os.geteuid() == 0 else ["sudo", "-n", "dpkg"] + args
    for _ in range(60):
        done = run(cmd, capture_output=True, text=True)
        if done.returncode == 0 or "lock" not in done.stderr:
            return done
        time.sleep(5)
    return done


def install_deb(deb, work):
    if os.geteuid() != 0 and subprocess.run(["sudo", "-n", "true"], capture_output=True).returncode != 0:
        print("skipped: installing the .deb needs root or sudo without a password", flush=True)
        return
    if subprocess.run(["dpkg", "-s", "vexal"], capture_output=True).returncode == 0:
        check(False, "dpkg -i: a package vexal is installed already; remove it first (dpkg -r vexal)")
        return
    done = dpkg(["-i", deb])
    if not check(done.returncode == 0, "dpkg -i %s%s" % (os.path.basename(deb), "" if done.returncode == 0
                                                        else ": " + done.stdout + done.stderr)):
        dpkg(["--purge", "vexal"])
        return
    try:
        page = run(["man", "vexal"], capture_output=True, text=True, env=dict(os.environ, MANPAGER="cat",
                                                                             PAGER="cat", MANWIDTH="80"))
        check(page.returncode == 0 and "VEXAL(1)" in page.stdout and "put_binamer" in page.stdout,
              "man vexal shows the page")
        version = run(["vexal", "call_eur", "100", "100", "1", "0.05", "0.2", "0"], capture_output=True, text=True)
        check(version.stdout.strip().startswith("10.4505756193"), "the installed vexal CLI runs")
        src = os.path.join(work, "prog.c")
        with open(src, "w", encoding="utf-8") as f:
            f.write('#include <stdio.h>\n#include <vexal.h>\n#include <vexal_batch.h>\n'
                    'int main(void) {\n'
                    '  double r[3], p[2] = {0.6, 0.4}, o[2] = {1.0, -1.0};\n'
                    '  if (vexal_kelly_fit(p, o, 2, 0.0, r) != 0) return 1;\n'
                    '  printf("%.17g %d\\n", call_eur(100, 100, 1, 0.05, 0.2, 0), vexal_default_threads() >= 1);\n'
                    '  return 0;\n}\n')
        flags = run(["pkg-config", "--cflags", "--libs", "vexal"], capture_output=True, text=True,
                    env={k: v for k, v in os.environ.items() if not k.startswith("PKG_CONFIG")})
        if check(flags.returncode == 0 and "-lvexal" in flags.stdout, "pkg-config --cflags --libs vexal: %s"
                 % flags.stdout.strip()):
            exe = os.path.join(work, "prog")
            cc = run(["cc", src, "-o", exe] + flags.stdout.split(), capture_output=True, text=True)
            out = run([exe], capture_output=True, text=True) if cc.returncode == 0 else cc
            check(out.returncode == 0 and out.stdout.startswith("10.4505756193") and out.stdout.endswith(" 1\n"),
                  "a C program built with pkg-config runs: %s" % (out.stdout + out.stderr).strip())
    finally:
        done = dpkg(["--purge", "vexal"])
        check(done.returncode == 0 and not os.path.exists("/usr/bin/vexal"), "dpkg --purge vexal")


def check_wheel(dist, version, work):
    wheels = glob.glob(os.path.join(dist, "vexal-%s-*.whl" % version))
    if not check(len(wheels) == 1 and not wheels[0].endswith("-any.whl"), "one platform wheel: %s"
                 % [os.path.basename(w) for w in wheels]):
        return
    info = "vexal-%s.dist-info/" % version
    modules = sorted("vexal/" + os.path.basename(p) for p in glob.glob(os.path.join(ROOT, "python", "vexal", "*.py")))
    with zipfile.ZipFile(wheels[0]) as z:
        same_set(z.namelist(), modules + ["vexal/libvexal.so"] + [info + n for n in (
            "METADATA", "WHEEL", "RECORD", "top_level.txt", "LICENSE")], os.path.basename(wheels[0]))
        metadata = z.read(info + "METADATA").decode()
    check("\nLicense: MIT\n" in metadata and "\nVersion: %s\n" % version in metadata,
          "the wheel's METADATA names the version and the MIT licence")
    venv = os.path.join(work, "venv")
    python = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
    env = {k: v for k, v in os.environ.items() if k not in ("VEXAL_LIBRARY", "PYTHONPATH")}
    py = os.path.join(venv, "bin", "python")
    ok = run([python, "-m", "venv", venv], env=env).returncode == 0 and run(
        [py, "-m", "pip", "install", "-q", "--no-index", "--no-deps", "--disable-pip-version-check", wheels[0]],
        env=env).returncode == 0
    if check(ok, "the wheel installs into a fresh venv"):
        out = run([py, "-c", "import vexal; print(vexal.library_path()); print(repr(vexal.call_eur(100, 100, 1, 0.05, 0.2, 0)))"],
                  env=env, cwd=work, capture_output=True, text=True)
        lines = out.stdout.splitlines()
        check(out.returncode == 0 and len(lines) == 2 and lines[0].startswith(venv)
              and lines[1].startswith("10.4505756193"), "import vexal in the venv: %s" % (out.stdout + out.stderr))


def check_r(dist):
    tarballs = glob.glob(os.path.join(dist, "vexal_*.tar.gz"))
    if not os.path.isfile(os.path.join(ROOT, "r", "vexal", "DESCRIPTION")):
        check(not tarballs, "no R package in the tree, none released")
        return
    if not check(len(tarballs) == 1, "one R source package: %s" % tarballs):
        return
    with tarfile.open(tarballs[0]) as tar:
        names = tar.getnames()
        description = tar.extractfile("vexal/DESCRIPTION").read().decode()
    check(all(("vexal/" + n) in names for n in ("DESCRIPTION", "NAMESPACE")) and any(
        n.startswith("vexal/R/") for n in names), "the R package holds DESCRIPTION, NAMESPACE and R/")
    check(all("vexal/src/vexal/%s" % n in names for n in ("exports/export_table.h", "precise/precise_table.h")),
          "the R package carries the library's sources it compiles")
    check(re.search(r"^License:.*\bMIT\b", description, re.M) is not None, "the R package's DESCRIPTION names MIT")


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    work = os.path.abspath(argv[1])
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    version = project_version()
    if len(argv) == 3:
        dist = os.path.abspath(argv[2])
    else:
        dist = os.path.join(work, "dist")
        check(run(["bash", os.path.join(ROOT, "scripts", "release.sh"), dist]).returncode == 0, "scripts/release.sh")
    artefacts = sorted(n for n in os.listdir(dist) if n != "SHA256SUMS")
    print("artefacts: " + ", ".join(artefacts), flush=True)
    check_sums(dist, artefacts)
    for arch in ("win32", "win64"):
        check_zip(dist, version, arch, os.path.join(work, arch))
    check_deb(dist, version, work)
    check_wheel(dist, version, work)
    check_r(dist)
    print("%d passed, %d failed" % (len(PASSED), len(FAILURES)))
    for f in FAILURES:
        print("  FAILED: " + f)
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
