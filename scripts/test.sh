#!/usr/bin/env bash
# Builds the tool and runs every test; exits non-zero when any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"
