#!/bin/sh
# Builds the whole test suite twice and runs it: with AddressSanitizer,
# UndefinedBehaviorSanitizer and LeakSanitizer in build-asan, with
# ThreadSanitizer in build-tsan. Exits non-zero if either fails.
#   scripts/sanitizers.sh [asan|tsan ...]   (default: both)
# Environment: JOBS (build jobs, default 2), TEST_TIMEOUT (seconds per test,
# default 600), CC/CXX (default: the system compiler).
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${JOBS:-2}
timeout=${TEST_TIMEOUT:-600}
status=0

configure_build() {  # dir, extra cmake options...
  dir=$1
  shift
  cmake -S "$root" -B "$root/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXAL_BENCH=OFF "$@" >/dev/null &&
    cmake --build "$root/$dir" -j"$jobs"
}

run_asan() {
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer + LeakSanitizer (build-asan)"
  configure_build build-asan -DVEXAL_SANITIZE=ON || return 1
  (cd "$root/build-asan" &&
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --timeout "$timeout" --output-on-failure)
}

# ThreadSanitizer maps its shadow at fixed addresses; with the address
# randomisation of recent kernels it can die with "unexpected memory
# mapping". Run without randomisation when the system lets us.
tsan_prefix() {
  if setarch "$(uname -m)" -R true 2>/dev/null; then
    echo "setarch $(uname -m) -R"
  fi
}

run_tsan() {
  echo "== ThreadSanitizer (build-tsan)"
  configure_build build-tsan -DVEXAL_TSAN=ON || return 1
  prefix=$(tsan_prefix)
  (cd "$root/build-tsan" &&
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    $prefix ctest --timeout "$timeout" --output-on-failure)
}

which=${*:-asan tsan}
for w in $which; do
  case $w in
    asan) run_asan || { echo "ASan/UBSan/LSan run FAILED"; status=1; } ;;
    tsan) run_tsan || { echo "TSan run FAILED"; status=1; } ;;
    *) echo "unknown run: $w (asan or tsan)"; exit 2 ;;
  esac
done
[ $status -eq 0 ] && echo "sanitizer runs passed"
exit $status
