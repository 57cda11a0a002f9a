#!/usr/bin/env bash
# forgeset-assets against the programs people would otherwise reach for, on the same generated
# files in the same run: inspect-fbx on 40 animation FBX files and one 200k-triangle mesh
# against `assimp info` on each file, and prepare-textures on 12 textures of 4096 x 4096
# scaled to 2048 against ImageMagick's `convert -resize` on each. Wall times are the best of
# three runs; a ratio above 1 means forgeset-assets took less time. Not run by the tests.
#
# Usage: bench/assets_bench.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
helper=$build/tools/forgeset-assets
models=/usr/share/assimp/models/FBX
[ -x "$helper" ] || { echo "no $helper: build the forgeset-assets target first" >&2; exit 1; }

# The baselines and the animated test model come from Debian.
missing=()
command -v assimp >/dev/null || missing+=(assimp-utils)
command -v convert >/dev/null || missing+=(imagemagick)
[ -f "$models/animation_with_skeleton.fbx" ] || missing+=(assimp-testmodels)
if ((${#missing[@]})); then
    echo "assets_bench: installing ${missing[*]}" >&2
    sudo=()
    if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends \
        "${missing[@]}" >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --- files ---------------------------------------------------------------------------------
# The mesh: a stretched sphere of 250 x 400 quads (200,000 triangles) written as OBJ and turned
# into ASCII FBX by assimp's exporter (assimp 5.2 cannot read back its own binary FBX of this
# size). The animations: Debian's skinned, animated test model under 40 species-like names.
src=$work/source
mkdir -p "$src/Anims"
awk 'BEGIN { st = 250; sl = 400; pi = 3.14159265
    for (i = 0; i <= st; i++) { t = pi * i / st
        for (j = 0; j < sl; j++) { p = 2 * pi * j / sl
            printf "v %f %f %f\n", 400 * sin(t) * cos(p), 100 * sin(t) * sin(p), 120 * cos(t) } }
    for (i = 0; i < st; i++) for (j = 0; j < sl; j++) {
        a = i * sl + j + 1; b = i * sl + (j + 1) % sl + 1; c = a + sl; d = b + sl
        printf "f %d %d %d\nf %d %d %d\n", a, c, b, b, c, d } }' >"$work/mesh.obj"
assimp export "$work/mesh.obj" "$src/Rex.fbx" -ffbxa >/dev/null
roles=(Idle Walk Walk_Left Walk_Right Trot Run Run_Left Run_Right Swim Swim_Fast
       Swim_Backwards Hit Death Rest Eat Drink Call Attack_Forward Attack_Left Attack_Right)
for n in $(seq 0 39); do
    cp "$models/animation_with_skeleton.fbx" "$src/Anims/Rex_${roles[n % 20]}_$((n / 20 + 1)).fbx"
done

# The textures: one 4096 x 4096 plasma (detail like a painted skin, so the PNGs compress as
# real ones do) under 12 names, and a species definition that names them.
ws=$work/rex
mkdir -p "$ws/source/Textures"
convert -size 4096x4096 -seed 7 plasma:fractal "$work/plasma.png"
entries=()
for i in $(seq 1 12); do
    cp "$work/plasma.png" "$ws/source/Textures/T_Part${i}_D.png"
    entries+=("{\"slot\": \"Part$i\", \"diffuse\": \"Textures/T_Part${i}_D.png\"}")
done
joined=$(IFS=,; echo "${entries[*]}")
printf '{"name": "rex", "source": {"maxTextureSize": 2048, "textures": [%s]}}\n' "$joined" >"$ws/species.json"

# --- runs ----------------------------------------------------------------------------------
# Best wall time of three runs of "$@", in seconds.
best() {
    local best=""
    for _ in 1 2 3; do
        local start end
        start=$(date +%s.%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s.%N)
        best=$(awk -v b="$best" -v s="$start" -v e="$end" 'BEGIN { t = e - s; print (b == "" || t < b) ? t : b }')
    done
    echo "$best"
}

fbx_files() { find "$src" -name '*.fbx' | sort; }
assimp_info_all() { fbx_files | while read -r f; do assimp info "$f"; done; }
assimp_info_raw_all() { fbx_files | while read -r f; do assimp info "$f" -r; done; }
convert_all() {
    mkdir -p "$work/convert"
    for f in "$ws"/source/Textures/*.png; do convert "$f" -resize 2048x2048 "$work/convert/$(basename "$f")"; done
}

ours_inspect=$(best "$helper" inspect-fbx "$src" "$src/inspect.json")
[ -f "$src/inspect.json" ] || { echo "inspect-fbx wrote no inspect.json" >&2; exit 1; }
info=$(best assimp_info_all)
info_raw=$(best assimp_info_raw_all)
ours_prepare=$(best "$helper" prepare-textures "$ws/species.json" "$ws/source" "$work/out")
[ -f "$work/out/manifest.json" ] || { echo "prepare-textures wrote no manifest.json" >&2; exit 1; }
magick=$(best convert_all)

echo "forgeset-assets benchmark ($(nproc) cores; best of 3; ratio = baseline / forgeset-assets)"
awk -v a="$ours_inspect" -v b="$info" -v c="$info_raw" -v d="$ours_prepare" -v e="$magick" 'BEGIN {
    printf "inspect-fbx, 41 files        %7.2f s\n", a
    printf "  assimp info, each file     %7.2f s   ratio %5.2f\n", b, b / a
    printf "  assimp info -r, each file  %7.2f s   ratio %5.2f\n", c, c / a
    printf "prepare-textures, 12 x 4096  %7.2f s\n", d
    printf "  convert -resize, each file %7.2f s   ratio %5.2f\n", e, e / d }'
