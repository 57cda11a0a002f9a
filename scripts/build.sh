#!/usr/bin/env bash
# Configures and builds everything into build/ (warnings are errors, as in CI).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ ! -f build/build.ninja ] || ! grep -q '^FORGESET_WERROR:BOOL=ON$' build/CMakeCache.txt; then
    cmake --preset default >/dev/null
fi
cmake --build --preset default -- -j"$(nproc)"
