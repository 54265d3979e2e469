#!/usr/bin/env bash
# Builds just the Windows DLLs with the mingw-w64 cross compilers, in the
# build folders scripts/check.sh uses (so later builds there are incremental):
#
#   scripts/build_windows.sh [win32] [win64]     (both when none is named)
#
#   win32: build-win32/bin/Vexal.dll and VexalPrecise.dll (the precise family)
#   win64: build-win64/bin/Vexal64.dll
#
# Release builds, nothing else: no CLI, no tests (scripts/check.sh builds and
# runs those), no zips (scripts/release.sh). JOBS sets the parallel jobs
# (default: the number of cores).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(win32 win64)
for arch in "${arches[@]}"; do
  case $arch in
    win32) triplet=i686-w64-mingw32 package=g++-mingw-w64-i686-posix targets=(vexal vexal_precise) ;;
    win64) triplet=x86_64-w64-mingw32 package=g++-mingw-w64-x86-64-posix targets=(vexal) ;;
    *) echo "usage: scripts/build_windows.sh [win32] [win64]" >&2; exit 2 ;;
  esac
  command -v "$triplet-g++-posix" >/dev/null ||
    { echo "build_windows: $triplet-g++-posix is missing (Debian package $package)" >&2; exit 1; }
  echo "== $arch: ${targets[*]} in build-$arch"
  cmake -S . -B "build-$arch" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$triplet.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "build-$arch" -j"$jobs" --target "${targets[@]}"
done
echo "== Windows DLLs"
for arch in "${arches[@]}"; do
  ls -1 "build-$arch"/bin/*.dll
done
