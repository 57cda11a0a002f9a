#!/bin/bash
# Starts one Windows test program under Wine: wine_start.sh WINE PROGRAM [ARGUMENTS...]
#
# Wine 8 now and then ends a process before the program in it has run at all: the wine
# process fails within a few milliseconds and writes nothing (seen as "Failed 0.00 sec" with
# no output, about once in a thousand starts on a busy machine, on tests of every kind). The
# quickest real run of a test program takes about 50 ms, so a failure in under 15 ms without a
# byte of output is that, and only that is started once more, with a line on standard error
# saying so. A program that ran, whatever its result, is never started again.
set -u -o pipefail
wine=$1
shift
out=$(mktemp "${TMPDIR:-/tmp}/wine-start.XXXXXX") || exit 125
trap 'rm -f "$out"' EXIT
for attempt in 1 2; do
    started=$(date +%s%N)
    # Shown as it comes, so a test that runs out of time still shows how far it got.
    "$wine" "$@" 2>&1 | tee "$out"
    status=$?
    took=$((($(date +%s%N) - started) / 1000000))
    if [ "$status" -eq 0 ] || [ -s "$out" ] || [ "$took" -ge 15 ] || [ "$attempt" -eq 2 ]; then
        break
    fi
    echo "wine_start.sh: wine ended with $status after $took ms without starting $1; starting it once more" >&2
done
exit "$status"
