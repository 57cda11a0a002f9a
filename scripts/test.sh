#!/usr/bin/env bash
# Builds the tool and runs every test; exits non-zero when any test fails. After the ordinary
# run, the C++ tests run again under AddressSanitizer with UndefinedBehaviorSanitizer, and
# the threaded ones under ThreadSanitizer, the fuzz targets run briefly, and the Windows build
# runs its suites under Wine; any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=-j"$(nproc)"
# Each part says how long it took, so a slow run shows where its time went.
started=$SECONDS
took() {
    echo "test.sh: $1 took $((SECONDS - started)) s" >&2
    started=$SECONDS
}

scripts/build.sh
took "set-up and build"
ctest --preset default "$jobs"
took "tests"

cmake --preset asan >/dev/null
cmake --build --preset asan -- "$jobs"
took "AddressSanitizer build"
ctest --preset asan "$jobs"
took "AddressSanitizer tests"

# The threads live in the outbox, the workers, the hosts and the browser host's HTTP server.
# The desktop window's tests stay out: GLib and WebKit are not instrumented and synchronise in
# ways ThreadSanitizer cannot see, so every run would report their internals rather than our
# code.
cmake --preset tsan >/dev/null
cmake --build --preset tsan --target threaded_tests -- "$jobs"
took "ThreadSanitizer build"
ctest --preset tsan "$jobs" -R '^((bridge|studio|species|remote|shell)\.|platform\.HttpServer)' \
    -E '\.Desktop'
took "ThreadSanitizer tests"

# A short run of each fuzz target from its corpus; a crash fails the run.
scripts/fuzz.sh 15
took "fuzzing"

# The same tree built for Windows with mingw-w64, its suites under Wine (it times its parts).
scripts/test-windows.sh
took "Windows build and tests"
