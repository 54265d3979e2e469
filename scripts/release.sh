#!/usr/bin/env bash
# Builds every release artefact from this tree into one folder (default
# dist/), each named with the project version of CMakeLists.txt:
#
#   vexal-VERSION-win32.zip    Vexal.dll, VexalPrecise.dll, vexal.exe, Vexal.bas, vexal.h, README.txt,
#                              LICENSE.txt
#   vexal-VERSION-win64.zip    Vexal64.dll, vexal64.exe, Vexal.bas, include/*.h, README.txt, LICENSE.txt
#   vexal_VERSION_amd64.deb    libvexal.so (with its soname link) and libvexal.a, the vexal CLI
#                              and its man page, the headers, the CMake and pkg-config files
#   vexal-VERSION-*.whl        the Python package with the Linux library
#   vexal_*.tar.gz             the R source package (R CMD build), when r/vexal exists
#   SHA256SUMS                 over all of them
#
#   scripts/release.sh [OUTDIR]
#
# Builds in build-release/ (native, Win32 and Win64 with the mingw-w64
# toolchains; no tests: scripts/check.sh runs those, and checks what this
# script makes).
set -euo pipefail
umask 022
cd "$(dirname "$0")/.."
root=$(pwd)
out=$(mkdir -p "${1:-dist}" && cd "${1:-dist}" && pwd)
work=$root/build-release
jobs=$(nproc)
version=$(sed -n 's/^project(Vexal VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no project version in CMakeLists.txt" >&2; exit 1; }
echo "== Vexal $version into $out"
rm -rf "$work/stage" && mkdir -p "$work/stage"
rm -f "$out"/vexal[-_]* "$out/SHA256SUMS"

configure_build() {  # folder, cmake arguments...
  local build=$1; shift
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEXAL_TESTS=OFF -DVEXAL_BENCH=OFF -DVEXAL_FUZZ=OFF "$@" >/dev/null
  cmake --build "$build" -j"$jobs" >/dev/null
}

# Files of a folder into a zip under one top folder, text files with CRLF.
make_zip() {  # zip, folder
  python3 - "$1" "$2" <<'EOF'
import os, sys, zipfile
path, folder = sys.argv[1:]
top = os.path.basename(folder)
with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
    for base, dirs, files in os.walk(folder):
        dirs.sort()
        for name in sorted(files):
            full = os.path.join(base, name)
            arc = top + "/" + os.path.relpath(full, folder).replace(os.sep, "/")
            info = zipfile.ZipInfo(arc, date_time=(2026, 1, 1, 0, 0, 0))
            info.external_attr = 0o644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(full, "rb") as f:
                data = f.read()
            if name.endswith(".txt"):
                data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            z.writestr(info, data)
EOF
}

# --- Windows ---------------------------------------------------------------
for arch in win32 win64; do
  if [ $arch = win32 ]; then
    triplet=i686-w64-mingw32 dlls="Vexal.dll VexalPrecise.dll" cli=vexal.exe
  else
    triplet=x86_64-w64-mingw32 dlls=Vexal64.dll cli=vexal64.exe
  fi
  echo "== $arch: $dlls $cli"
  configure_build "$work/$arch" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$triplet.cmake"
  dir=$work/stage/vexal-$version-$arch
  mkdir -p "$dir"
  for file in $dlls $cli; do
    cp "$work/$arch/bin/$file" "$dir/"
    "$triplet-strip" "$dir/$file"
  done
  cp vba/Vexal.bas "$dir/"
  if [ $arch = win32 ]; then
    mkdir -p "$dir/include" && cp include/vexal.h "$dir/include/"  # Vexal.dll has no C API of its own
  else
    mkdir -p "$dir/include" && cp include/*.h "$dir/include/"
  fi
  sed "s/@VERSION@/$version/g" vba/README-Excel.txt > "$dir/README.txt"
  cp LICENSE "$dir/LICENSE.txt"
  make_zip "$out/vexal-$version-$arch.zip" "$dir"
done

# --- Debian package --------------------------------------------------------
arch=$(dpkg --print-architecture)
echo "== Debian package ($arch)"
configure_build "$work/linux" -DCMAKE_INSTALL_PREFIX=/usr
deb=$work/stage/deb
DESTDIR=$deb cmake --install "$work/linux" --strip >/dev/null
gzip -9n "$deb/usr/share/man/man1/vexal.1"
doc=$deb/usr/share/doc/vexal
mkdir -p "$doc" "$deb/DEBIAN"
cp README.md "$doc/"
gzip -9nc CHANGELOG.md > "$doc/changelog.gz"
{
  echo "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
  echo "Upstream-Name: vexal"
  echo
  echo "Files: *"
  echo "Copyright: 2026 The Vexal developers"
  echo "License: MIT"
  echo
  echo "License: MIT"
  sed -e '1,/^Copyright/d' -e 's/^$/./' -e 's/^/ /' LICENSE | sed '1{/^ \.$/d}'
} > "$doc/copyright"
# The shared libraries the package's binaries need, as dpkg-shlibdeps names them.
mkdir -p "$work/stage/shlibs/debian"
printf 'Source: vexal\n\nPackage: vexal\nArchitecture: any\n' > "$work/stage/shlibs/debian/control"
depends=$(cd "$work/stage/shlibs" && dpkg-shlibdeps -O -e"$deb/usr/bin/vexal" -e"$(ls "$deb"/usr/lib/*/libvexal.so.*.*)" 2>/dev/null |
          sed -n 's/^shlibs:Depends=//p')
cat > "$deb/DEBIAN/control" <<EOF
Package: vexal
Version: $version
Architecture: $arch
Section: libs
Priority: optional
Maintainer: The Vexal developers <maintainers@vexal.invalid>
Installed-Size: $(du -sk --exclude=DEBIAN "$deb" | cut -f1)
Depends: $depends
Description: quantitative-finance functions: options, probabilities, series, fits
 Vexal is a library of quantitative-finance functions: European and American
 option prices, Greeks and implied volatilities, barrier and drawdown
 probabilities, price-series statistics, GARCH(1,1) and Kelly fits,
 growth-optimal formulas and an MT19937 generator.
 .
 This package holds the shared and static libraries, the C headers, the
 CMake and pkg-config files, and the vexal command-line tool with its
 manual page. Licence: MIT.
EOF
echo "activate-noawait ldconfig" > "$deb/DEBIAN/triggers"
dpkg-deb --root-owner-group -Zxz --build "$deb" "$out/vexal_${version}_${arch}.deb" >/dev/null

# --- Python wheel ----------------------------------------------------------
echo "== Python wheel"
VEXAL_WHEEL_LIBRARY=$(ls "$deb"/usr/lib/*/libvexal.so.*.*) python3 -c '
import sys; sys.path.insert(0, sys.argv[1])
import vexal_build
print(vexal_build.build_wheel(sys.argv[2]))' "$root/python/_build" "$out" >/dev/null
wheel=$(cd "$out" && ls vexal-*.whl)
case $wheel in
  vexal-$version-*) ;;
  *) echo "release: the wheel $wheel is not version $version (python/_build/vexal_build.py)" >&2; exit 1 ;;
esac

# --- R source package ------------------------------------------------------
if [ -f r/vexal/DESCRIPTION ]; then
  echo "== R source package"
  rm -rf "$work/r" && mkdir -p "$work/r"
  (cd r/vexal && ./configure >/dev/null)  # the library's sources into the package, for the tarball
  (cd "$work/r" && R CMD build "$root/r/vexal" >build.log 2>&1) || { cat "$work/r/build.log" >&2; exit 1; }
  cp "$work"/r/vexal_*.tar.gz "$out/"
else
  echo "== no R package in this tree (r/vexal): left out"
fi

(cd "$out" && sha256sum vexal[-_]* > SHA256SUMS)
echo "== release artefacts"
(cd "$out" && ls -l vexal[-_]* SHA256SUMS | awk '{print "  " $5 "\t" $NF}')
