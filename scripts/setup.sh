#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the tool.
# Idempotent, and silent when everything is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev nlohmann-json3-dev
    libcpp-httplib-dev libgtk-3-dev libwebkit2gtk-4.1-dev libcurl4-openssl-dev
    libarchive-tools zip unzip
    clang-format xvfb xauth libxtst6 chromium
    libassimp-dev libstb-dev assimp-testmodels
    clang libclang-rt-dev
    g++-mingw-w64-x86-64-posix wine wine64
)
# The page's libraries come from npm; a machine without Node.js gets Debian's.
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}" >&2
    sudo=()
    if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -q >/dev/null
    "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi

# PowerShell 7 runs the species kit's build script in the tests. It comes from NuGet as a
# .NET tool, into a folder of the build (FORGESET_POWERSHELL_DIR of CMakeLists.txt); the
# version is named, since without one the newest is taken, which does not install here.
repo=$(cd "$(dirname "$0")/.." && pwd)
powershell_dir=${FORGESET_POWERSHELL_DIR:-$repo/build/tools/powershell}
powershell_version=7.6.10
if [ ! -x "$powershell_dir/pwsh" ] || [ ! -d "$powershell_dir/.store/powershell/$powershell_version" ]; then
    if command -v dotnet >/dev/null 2>&1; then
        echo "setup: installing PowerShell $powershell_version into $powershell_dir" >&2
        rm -rf "$powershell_dir"
        DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1 \
            dotnet tool install PowerShell --version "$powershell_version" \
            --tool-path "$powershell_dir" >/dev/null
    else
        echo "setup: dotnet is missing, so PowerShell 7 is not installed and the tests of the" \
            "kit's build script will fail" >&2
    fi
fi

# The Windows build's desktop window uses Microsoft's WebView2 SDK, a NuGet package at the
# version scripts/webview2/webview2.csproj pins, restored into the Windows build's folder.
webview2_version=$(sed -n 's/.*Microsoft\.Web\.WebView2" Version="\([0-9.]*\)".*/\1/p' \
    "$repo/scripts/webview2/webview2.csproj")
nuget_dir=${FORGESET_NUGET_DIR:-$repo/build-windows/nuget}
if [ ! -f "$nuget_dir/microsoft.web.webview2/$webview2_version/build/native/include/WebView2.h" ]; then
    if command -v dotnet >/dev/null 2>&1; then
        echo "setup: restoring the WebView2 SDK $webview2_version into $nuget_dir" >&2
        DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1 \
            dotnet restore "$repo/scripts/webview2/webview2.csproj" --packages "$nuget_dir" \
            -p:MSBuildProjectExtensionsPath="$nuget_dir/obj/" >/dev/null
    else
        echo "setup: dotnet is missing, so the WebView2 SDK is not restored and the Windows" \
            "build stops" >&2
    fi
fi

# three.js and fflate are embedded into the executable from ui/node_modules, pinned by the
# committed lockfile; reinstall when the lockfile changed since the last install.
cd "$repo/ui"
if [ ! -f node_modules/.package-lock.json ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
    echo "setup: installing the page's npm packages" >&2
    npm ci --no-audit --no-fund --loglevel=error >/dev/null
fi
