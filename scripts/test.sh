#!/usr/bin/env bash
# Builds the tool and runs every test; exits non-zero when any test fails. After the ordinary
# run, the C++ tests run again under AddressSanitizer with UndefinedBehaviorSanitizer, and
# the threaded ones under ThreadSanitizer, and the fuzz targets run briefly; any report fails
# the run.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=-j"$(nproc)"
scripts/build.sh
ctest --preset default "$jobs"

cmake --preset asan >/dev/null
cmake --build --preset asan -- "$jobs"
ctest --preset asan "$jobs"

# The threads live in the outbox, the workers, the hosts and the browser host's HTTP server.
# The desktop window's tests stay out: GLib and WebKit are not instrumented and synchronise in
# ways ThreadSanitizer cannot see, so every run would report their internals rather than our
# code.
cmake --preset tsan >/dev/null
cmake --build --preset tsan --target threaded_tests -- "$jobs"
ctest --preset tsan "$jobs" -R '^((bridge|studio|species|remote|shell)\.|platform\.HttpServer)' \
    -E '\.Desktop'

# A short run of each fuzz target from its corpus; a crash fails the run.
scripts/fuzz.sh 15
