#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang, AddressSanitizer and UBSan in
# build-fuzz, and runs each for a short fixed time from its corpus in the repository. New
# inputs the fuzzer finds stay in build-fuzz; a crash leaves its input there and fails the run.
# Usage: scripts/fuzz.sh [seconds per target, default 15]
set -euo pipefail

seconds=${1:-15}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

cmake -S "$root/tests/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    "${launcher[@]}" >/dev/null
cmake --build "$build" -j2 >/dev/null

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=0
for corpus in "$root"/tests/fuzz/corpus/*/; do
    target=$(basename "$corpus")
    found=$build/found/$target
    mkdir -p "$found" "$build/crashes"
    echo "fuzz: $target for ${seconds}s" >&2
    # The repository's corpus is only read; what is new goes to build-fuzz/found.
    if ! "$build/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=65536 -print_final_stats=1 -artifact_prefix="$build/crashes/$target-" \
        "$found" "$corpus" >"$build/$target.log" 2>&1; then
        echo "fuzz: $target FAILED, see $build/$target.log" >&2
        tail -n 30 "$build/$target.log" >&2
        failed=1
    else
        grep -E '^stat::number_of_executed_units' "$build/$target.log" | sed "s/^/fuzz: $target /" >&2
    fi
done
exit $failed
