#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test suite: native,
# the R package, sanitizers, Win32 and Win64 under wine, Python binding and packages, a short
# fuzz run.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
dpkg -s wine32:i386 >/dev/null 2>&1 || need+=(wine wine32)
dpkg -s wine64 >/dev/null 2>&1 || need+=(wine64)
pkg-config --exists quantlib 2>/dev/null || need+=(libquantlib0-dev)
command -v pkg-config >/dev/null || need+=(pkg-config)
command -v clang++ >/dev/null || need+=(clang)
dpkg -s libfuzzer-14-dev >/dev/null 2>&1 || need+=(libfuzzer-14-dev)
dpkg -s libclang-rt-14-dev >/dev/null 2>&1 || need+=(libclang-rt-14-dev)
/usr/bin/python3 -c 'import numpy' 2>/dev/null || need+=(python3-numpy)
for module in pandas scipy dask distributed matplotlib; do
  /usr/bin/python3 -c "import $module" 2>/dev/null || need+=(python3-$module)
done
dpkg -s python3-venv >/dev/null 2>&1 || need+=(python3-venv)
command -v python3 >/dev/null || need+=(python3)
python3 -m pip --version >/dev/null 2>&1 || need+=(python3-pip)
dpkg -s libgtest-dev >/dev/null 2>&1 || dpkg -s googletest >/dev/null 2>&1 || need+=(googletest)
dpkg -s libbenchmark-dev >/dev/null 2>&1 || need+=(libbenchmark-dev)
command -v dpkg-shlibdeps >/dev/null || need+=(dpkg-dev)
command -v man >/dev/null || need+=(man-db)
command -v R >/dev/null && dpkg -s r-base-dev >/dev/null 2>&1 || need+=(r-base-dev)
for rpkg in testthat xts ttr tseries fgarch rquantlib; do
  dpkg -s r-cran-$rpkg >/dev/null 2>&1 || need+=(r-cran-$rpkg)
done
if [ ${#need[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "== installing: ${need[*]}"
  $sudo dpkg --add-architecture i386
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${need[@]}"
fi

echo "== native build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
(cd build && ctest --timeout 600 --output-on-failure -j"$jobs")

echo "== the R package: install, R CMD build, R CMD check"
bash scripts/r_check.sh

echo "== sanitizers"
bash scripts/sanitizers.sh

# A Windows build in its own folder, its own wine prefix (BUILD/wine) and its
# own server, whatever else runs under wine on this machine: the suite, the
# CLI's own checks and the README's examples against the native CLI.
windows_phase() {  # build folder, win32|win64, toolchain, CLI
  local build=$1 arch=$2 toolchain=$3 cli=$4
  echo "== $arch build, tests under wine ($build)"
  wine_env_start "$build" "$arch"
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain" -DCMAKE_BUILD_TYPE=Release
  cmake --build "$build" -j"$jobs"
  (cd "$build" && ctest --timeout 900 --output-on-failure)
  echo "== the $arch CLI under wine: its own checks and the README's examples against the native CLI"
  python3 tests/cli_check.py wine "$build/bin/$cli"
  python3 tests/readme_examples_check.py build/bin/vexal "wine $build/bin/$cli"
}

. scripts/wine_env.sh
trap wine_env_stop EXIT
windows_phase build-win32 win32 toolchain-i686-w64-mingw32.cmake vexal.exe
echo "== every precise function through the Win32 CLI (VexalPrecise.dll) against the native CLI, on the precise tests' grids"
python3 tests/precise_host_compare.py build/bin/vexal "wine build-win32/bin/vexal.exe"
wine_env_stop
windows_phase build-win64 win64 toolchain-x86_64-w64-mingw32.cmake vexal64.exe
echo "== every export through the Win64 CLI against the native CLI"
python3 tests/host_compare.py build/bin/vexal "wine build-win64/bin/vexal64.exe"
wine_env_stop

echo "== release packages: scripts/release.sh, each artefact unpacked and checked, the .deb installed and removed"
python3 tests/release_check.py build-release/check

echo "== fuzzing, one minute"
fuzz_log=$(mktemp)
if ! bash fuzz/run.sh 60 > "$fuzz_log" 2>&1; then
  tail -40 "$fuzz_log"
  exit 1
fi
grep -E '^(Done|stat::)' "$fuzz_log"
rm -f "$fuzz_log"

echo "== all suites passed"
echo "check: 9 passed, 0 failed"
