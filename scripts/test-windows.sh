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
# The server's desktop takes the display of the first program that runs: started without
# one it can never make a window, and the window's tests would all fail. So the server is
# warmed up on an X display of its own, which every later program may use (the window's
# tests still open their dialogs on a display each, tests/shell/win32/with_xvfb.sh).
display_dir=$(mktemp -d)
xvfb=
if command -v Xvfb >/dev/null 2>&1; then
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1600x1200x24 3>"$display_dir/display" \
        2>"$display_dir/log" &
    xvfb=$!
    for _ in $(seq 200); do
        [ -s "$display_dir/display" ] && break
        sleep 0.05
    done
    [ -s "$display_dir/display" ] && export DISPLAY=:$(cat "$display_dir/display")
fi
wineserver -p
trap 'wineserver -k || true; [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null; rm -rf "$display_dir"' EXIT
wine cmd /c exit 0
ctest --preset windows "$jobs" "$@"
took "Windows tests under Wine"
