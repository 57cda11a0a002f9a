#!/bin/sh
# What the Windows tests need around them in the Wine prefix (WINEPREFIX), run by CTest on
# the Linux side before the first and after the last of them:
#   wine_fixture.sh start POOLFILE POOL FAKE TAR OPENER
#       puts the fake tar.exe into the prefix's system folder, where the tool takes tar.exe
#       from; makes the fake opener the "open" command of folders, .md documents and http(s)
#       addresses, so no test reaches a desktop or a browser; starts the pool of fake build
#       services, whose address goes to POOLFILE
#   wine_fixture.sh stop POOLFILE POOL
#       ends the pool and its fakes
set -eu
if [ -z "${WINEPREFIX:-}" ]; then
    echo "wine_fixture.sh: WINEPREFIX is not set (ctest --preset windows sets it)" >&2
    exit 1
fi
case "$1" in
    start)
        system="$WINEPREFIX/drive_c/windows/system32"
        if [ ! -d "$system" ]; then
            echo "wine_fixture.sh: $WINEPREFIX is no Wine prefix yet (scripts/test-windows.sh makes it)" >&2
            exit 1
        fi
        cp "$5" "$system/tar.exe"
        # Drive Z: is the Linux root. The machine's classes, which Wine reads for these.
        opener="Z:$(printf '%s' "$6" | tr / '\\')"
        for class in http https Folder Directory mdfile; do
            wine reg add "HKLM\\Software\\Classes\\$class\\shell\\open\\command" /ve \
                /d "\"$opener\" \"%1\"" /f >/dev/null
        done
        wine reg add 'HKLM\Software\Classes\.md' /ve /d mdfile /f >/dev/null
        exec "$3" start "$2" "$4"
        ;;
    stop)
        exec "$3" stop "$2"
        ;;
esac
echo "usage: wine_fixture.sh start POOLFILE POOL FAKE TAR OPENER | stop POOLFILE POOL" >&2
exit 2
