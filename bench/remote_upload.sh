#!/usr/bin/env bash
# The remote build's packing and upload against doing the same by hand, in the same run: the
# tool's buildRemote of a species with 300 MB of source files, timed from the command to the
# notice "Uploaded.", against staging with `cp -al`, `bsdtar -a -c -f` and `curl -T` of the
# archive to the same fake build service on loopback. Rounds alternate so machine noise hits
# both alike; the medians are compared (goal: at most 1.3 times the baseline). A last run with
# a part size of 512 MiB reports the tool's peak resident memory (goal: under 64 MB).
# Not run by the tests.
#
# Usage: bench/remote_upload.sh [build folder, default build] [MB of sources, default 300]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
megabytes=${2:-300}
rounds=5
for program in "$build/forgeset-server-tool" "$build/fakes/fake-build-service" \
    "$build/fakes/forgeset-assets"; do
    [ -x "$program" ] || { echo "no $program: build it first" >&2; exit 1; }
done
command -v bsdtar >/dev/null || { echo "bsdtar is missing (libarchive-tools)" >&2; exit 1; }

work=$(mktemp -d)
fake_pid=
cleanup() {
    [ -n "$fake_pid" ] && kill "$fake_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# --- the species: models, animations and sounds of random bytes, as incompressible as real
# FBX and OGG files are to zip
root=$work/server
ws=$root/species/rex
mkdir -p "$ws/source/Anims" "$ws/source/Sounds" "$work/program/tools" "$work/data/VarraForgeset"
echo '{"name":"rex"}' >"$ws/species.json"
files=()
for i in $(seq 1 $((megabytes / 10))); do
    case $((i % 3)) in
        0) name=Anims/Rex_Anim_$i.fbx ;;
        1) name=Sounds/rex_$i.ogg ;;
        *) name=Rex_Part_$i.fbx ;;
    esac
    head -c 10000000 /dev/urandom >"$ws/source/$name"
    files+=("$name")
done
list=$(IFS='|'; echo "${files[*]}")
cp "$build/forgeset-server-tool" "$work/program/"
ln -s "$build/fakes/forgeset-assets" "$work/program/tools/forgeset-assets"
printf '{"token":"test-token","steamId":"1","name":"Bench"}' >"$work/data/VarraForgeset/build-auth.json"

# --- the fake service, its parts counted rather than kept; PUT /bench takes the baseline
start_fake() {
    printf '%s' "$1" >"$work/script.json"
    "$build/fakes/fake-build-service" --script "$work/script.json" >"$work/fake.out" &
    fake_pid=$!
    url=
    while [ -z "$url" ]; do
        sleep 0.05
        url=$(head -n 1 "$work/fake.out")
    done
}
stop_fake() {
    kill "$fake_pid"
    wait "$fake_pid" 2>/dev/null || true
    fake_pid=
}

now() { date +%s.%N; }

# One buildRemote through --stdio: seconds from the command to "Uploaded.", then the tool's
# peak resident memory before the command and at "Uploaded.", in kB.
run_tool() {
    coproc TOOL {
        XDG_DATA_HOME=$work/data VARRAFORGESET_BUILD_URL=$url no_proxy='*' \
            exec "$work/program/forgeset-server-tool" --stdio --root "$root" 2>/dev/null
    }
    local pid=$TOOL_PID line started idle
    # The tool's own footprint before the command, for telling what the upload adds.
    printf '{"cmd":"speciesRefresh"}\n' >&"${TOOL[1]}"
    read -r line <&"${TOOL[0]}"
    idle=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status")
    started=$(now)
    printf '{"cmd":"buildRemote","name":"rex","files":"%s"}\n' "$list" >&"${TOOL[1]}"
    while read -r line <&"${TOOL[0]}"; do
        case $line in
            *'"text":"Uploaded.'*) break ;;
            *'"error":true'*) echo "the tool reported: $line" >&2; exit 1 ;;
        esac
    done
    local seconds peak
    seconds=$(echo "$(now) - $started" | bc)
    peak=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status")
    printf '{"cmd":"winClose"}\n' >&"${TOOL[1]}"
    wait "$pid" 2>/dev/null || true
    echo "$seconds $idle $peak"
}

# The same bytes by hand: hard-linked staging, the same bsdtar line, curl -T.
run_baseline() {
    local stage=$work/stage started
    rm -rf "$stage" "$work/baseline.zip"
    started=$(now)
    mkdir -p "$stage"
    cp "$ws/species.json" "$stage/"
    cp -al "$ws/source" "$stage/source"
    bsdtar -a -c -f "$work/baseline.zip" -C "$stage" species.json source
    curl -s -f -o /dev/null -T "$work/baseline.zip" "$url/bench"
    echo "$(now) - $started" | bc
}

median() { printf '%s\n' "$@" | sort -g | sed -n "$((($# + 1) / 2))p"; }

start_fake '{"keepParts":false,"rules":[{"method":"PUT","path":"/bench","status":200}]}'
tool_times=()
base_times=()
ratios=()
for round in $(seq 1 $rounds); do
    read -r seconds _ _ < <(run_tool)
    tool_times+=("$seconds")
    base_times+=("$(run_baseline)")
    ratios+=("$(echo "${tool_times[-1]} / ${base_times[-1]}" | bc -l)")
    echo "round $round: buildRemote ${tool_times[-1]} s, baseline ${base_times[-1]} s" >&2
done
stop_fake

start_fake '{"keepParts":false,"partSize":536870912}'
read -r _ idle peak < <(run_tool)
stop_fake

tool=$(median "${tool_times[@]}")
base=$(median "${base_times[@]}")
printf 'buildRemote of %s MB of sources to "Uploaded.", median of %s\n' "$megabytes" "$rounds"
printf '  buildRemote                    %8.2f s\n' "$tool"
printf '  cp -al + bsdtar + curl -T      %8.2f s\n' "$base"
printf '  ratio of the medians           %8.2f (goal <= 1.3)\n' "$(echo "$tool / $base" | bc -l)"
printf '  median ratio of a round        %8.2f (rounds from %.2f to %.2f)\n' "$(median "${ratios[@]}")" \
    "$(printf '%s\n' "${ratios[@]}" | sort -g | head -n 1)" "$(printf '%s\n' "${ratios[@]}" | sort -g | tail -n 1)"
printf '  peak resident, 512 MiB parts   %8.1f MB (goal < 64 MB; %.1f MB before the command)\n' \
    "$(echo "$peak / 1000" | bc -l)" "$(echo "$idle / 1000" | bc -l)"
