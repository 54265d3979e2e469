#!/bin/sh
# Builds the fuzzer in build-fuzz and runs it for SECONDS seconds (default 60)
# over the checked-in corpus. New inputs go to build-fuzz/corpus, findings
# (crash-*, timeout-*, leak-*) to build-fuzz/findings. Exits non-zero on a
# finding. Longer run: fuzz/run.sh 600
set -eu
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
jobs=${VEXAL_FUZZ_BUILD_JOBS:-2}

CC=${FUZZ_CC:-clang} CXX=${FUZZ_CXX:-clang++} cmake -S "$root" -B "$build" -DVEXAL_FUZZ=ON -DVEXAL_TESTS=OFF \
  -DVEXAL_BENCH=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$jobs" --target vexal_fuzz >/dev/null

mkdir -p "$build/corpus" "$build/findings"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# -timeout: one input (at most 48 calls, GARCH fits over at most 200,000
# prices in all) taking this long counts as a hang.
exec "$build/bin/vexal_fuzz" -max_total_time="$seconds" -timeout=120 -rss_limit_mb=4096 \
  -max_len=4096 -print_final_stats=1 -artifact_prefix="$build/findings/" \
  "$build/corpus" "$root/fuzz/corpus"
