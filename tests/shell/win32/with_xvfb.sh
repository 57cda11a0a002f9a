#!/bin/sh
# Runs a Windows test program under Wine ("$@": wine and the program with its arguments) with
# an X display of its own, so the windows, dialogs and message boxes it opens behave as on a
# desktop (without a display Wine returns from a message box at once). The display number is
# the one Xvfb picks and reports, so parallel runs never meet. Listing the tests needs no
# display; without Xvfb the program runs with FORGESET_NO_DISPLAY naming why, and the tests
# that need a display skip with that reason.
set -u
case " $* " in *" --gtest_list_tests"*) exec "$@" ;; esac
if ! command -v Xvfb >/dev/null 2>&1; then
    FORGESET_NO_DISPLAY="Xvfb is not installed (Debian package xvfb)" exec "$@"
fi
dir=$(mktemp -d)
Xvfb -displayfd 3 -nolisten tcp -screen 0 1600x1200x24 3>"$dir/display" 2>"$dir/log" &
server=$!
tries=0
while [ ! -s "$dir/display" ] && [ $tries -lt 200 ] && kill -0 $server 2>/dev/null; do
    sleep 0.05
    tries=$((tries + 1))
done
if [ ! -s "$dir/display" ]; then
    echo "with_xvfb.sh: Xvfb did not start:" >&2
    cat "$dir/log" >&2
    kill $server 2>/dev/null
    rm -rf "$dir"
    exit 1
fi
DISPLAY=:$(cat "$dir/display") "$@"
status=$?
kill $server 2>/dev/null
wait $server 2>/dev/null
rm -rf "$dir"
exit $status
