#!/usr/bin/env bash
# Builds the tool and its tests for Windows (mingw-w64, the `windows` preset, into
# build-windows/) and runs the C++ test suites under Wine in a prefix of their own
# (build-windows/wine-prefix); exits non-zero when any test fails. Arguments go to ctest
# (for example -R '^bridge\.'). FORGESET_JOBS sets the parallel jobs of the build and the
# tests (default: one per core).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=-j"${FORGESET_JOBS:-$(nproc)}"
started=$SECONDS
took() {
    echo "test-windows.sh: $1 took $((SECONDS - started)) s" >&2
    started=$SECONDS
}

# What this run needs; scripts/setup.sh installs it (with everything else) when anything lacks.
for tool in cmake ninja g++ x86_64-w64-mingw32-g++-posix wine wineserver; do
    if ! command -v "$tool" >/dev/null 2>&1 || [ ! -d /usr/src/googletest ] ||
        [ ! -f /usr/include/nlohmann/json.hpp ] || ! compgen -G \
        'build-windows/nuget/microsoft.web.webview2/*/build/native/include/WebView2.h' >/dev/null; then
        scripts/setup.sh
        break
    fi
done
if [ ! -f build-windows/build.ninja ] || ! grep -q '^FORGESET_WERROR:BOOL=ON$' build-windows/CMakeCache.txt; then
    cmake --preset windows >/dev/null
fi
cmake --build --preset windows -- "$jobs"
took "Windows build"

# The same prefix as the test preset's. Made once: Mono and Gecko are not wanted, and their
# installers would ask. A persistent server, warmed up by one program, makes each later
# program start in a fraction of a second instead of seconds; it is ended however we leave.
export WINEPREFIX=$PWD/build-windows/wine-prefix WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
    wineserver -w
    took "Wine prefix"
fi
wineserver -p
trap 'wineserver -k || true' EXIT
wine cmd /c exit 0
ctest --preset windows "$jobs" "$@"
took "Windows tests under Wine"
