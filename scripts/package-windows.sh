#!/usr/bin/env bash
# Packs the Windows build into build-windows/forgeset-server-tool-windows-x64.zip: the tool,
# WebView2Loader.dll when the build has it, tools/, species-kit/, the owner's guide and a
# README.txt. Unzipped anywhere, the tool finds its tools and kit beside itself. Builds the
# Windows tool first when it is missing (scripts/test-windows.sh builds it with its tests).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-windows
zip_file=$build/forgeset-server-tool-windows-x64.zip

if [ ! -f $build/forgeset-server-tool.exe ]; then
    [ -f $build/build.ninja ] || cmake --preset windows >/dev/null
    cmake --build --preset windows --target forgeset-server-tool
fi
command -v zip >/dev/null 2>&1 || scripts/setup.sh

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
top=$stage/forgeset-server-tool
mkdir -p "$top/tools" "$top/docs"
cp $build/forgeset-server-tool.exe "$top/"
# The window's loader, once the Windows window is built; the browser host and --stdio need
# nothing beside the executable.
if [ -f $build/WebView2Loader.dll ]; then cp $build/WebView2Loader.dll "$top/"; fi
# Our own asset helper when the build made one (it needs assimp, which Debian does not carry
# for mingw-w64); never the tests' fake.
if [ -f $build/tools/forgeset-assets.exe ]; then cp $build/tools/forgeset-assets.exe "$top/tools/"; fi
cp -r species-kit "$top/species-kit"
cp docs/server-owner-guide.md "$top/docs/"
helper_note="tools\\forgeset-assets.exe is included."
if [ ! -f "$top/tools/forgeset-assets.exe" ]; then
    helper_note="This package has no asset helper yet: tools\\ is empty, so the asset studio and
the import of models are not available. Put forgeset-assets.exe into tools\\ to use them."
fi
# Windows owners open it with Notepad: CRLF line ends.
sed 's/$/\r/' >"$top/README.txt" <<TEXT
Varra Forgeset Server Tool for Windows (64-bit)

Unzip this folder anywhere and keep its parts together: the tool looks for tools\\,
species-kit\\ and docs\\ beside forgeset-server-tool.exe.

Starting it:
  forgeset-server-tool.exe --serve     serves the tool's page on 127.0.0.1 and prints the
                                       address to open in your browser on this machine
  forgeset-server-tool.exe --stdio     headless, for scripts: one JSON command per line
  forgeset-server-tool.exe --help      lists every option

The desktop window is not part of this build yet; use --serve.

$helper_note

The guide for server owners is docs\\server-owner-guide.md.
TEXT

rm -f "$zip_file"
(cd "$stage" && zip -q -r -X - forgeset-server-tool) >"$zip_file"
echo "$zip_file"
