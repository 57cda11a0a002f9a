#!/bin/sh
# The Windows package as an owner gets it: scripts/package-windows.sh builds the zip, which is
# unpacked into a fresh folder; forgeset-server-tool.exe started there under Wine must find its
# tools and its species kit beside itself, so its answer to init says `helper` and `kit` true.
# The package carries no asset helper yet (assimp is not built for mingw-w64 here), so this
# copy gets the tests' fake one in its tools\ first, which is only found where the package
# puts tools\. Arguments: the source folder and the fake helper (a Windows program).
set -eu
source_dir=$1
fake_helper=$2
"$source_dir/scripts/package-windows.sh" >/dev/null
zip_file=$source_dir/build-windows/forgeset-server-tool-windows-x64.zip
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip_file" -d "$work"
top=$work/forgeset-server-tool
fail() {
    echo "package test: $*" >&2
    exit 1
}
for part in forgeset-server-tool.exe README.txt docs/server-owner-guide.md species-kit tools; do
    [ -e "$top/$part" ] || fail "the package lacks $part"
done
[ -z "$(ls "$top/tools")" ] || fail "tools/ holds what the test should add: $(ls "$top/tools")"
grep -q 'no asset helper' "$top/README.txt" || fail "README.txt does not say the helper is missing"
answer() {
    printf '{"cmd":"init"}\n' | (cd "$work" && wine "$top/forgeset-server-tool.exe" --stdio) 2>/dev/null |
        grep '"type":"species"' | head -n 1
}
# Without a helper the package's own kit is still found, and the helper is not.
species=$(answer)
echo "$species" | grep -q '"kit":true' || fail "kit not found from the unpacked folder: $species"
echo "$species" | grep -q '"helper":false' || fail "a helper was found where none is: $species"
cp "$fake_helper" "$top/tools/forgeset-assets.exe"
species=$(answer)
echo "$species" | grep -q '"kit":true' || fail "kit not found: $species"
echo "$species" | grep -q '"helper":true' || fail "helper not found in tools/: $species"
echo "package test: the unpacked tool found its kit and its helper"
