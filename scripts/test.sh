#!/usr/bin/env bash
# Builds the tool and runs every test; exits non-zero when any test fails. After the ordinary
# run, the C++ tests run again under AddressSanitizer with UndefinedBehaviorSanitizer, and
# the threaded ones under ThreadSanitizer; any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=-j"$(nproc)"
scripts/build.sh
ctest --preset default "$jobs"

cmake --preset asan >/dev/null
cmake --build --preset asan -- "$jobs"
ctest --preset asan "$jobs"

# The threads live in the outbox, the studio's worker and the hosts.
cmake --preset tsan >/dev/null
cmake --build --preset tsan --target bridge_tests studio_tests shell_tests -- "$jobs"
ctest --preset tsan "$jobs" -R '^(bridge|studio|shell)\.'
