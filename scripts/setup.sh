#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the tool.
# Idempotent, and silent when everything is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev nlohmann-json3-dev
    libcpp-httplib-dev libgtk-3-dev libwebkit2gtk-4.1-dev libcurl4-openssl-dev
    libarchive-tools
    clang-format xvfb xauth libxtst6 chromium
    libassimp-dev libstb-dev assimp-testmodels
    clang libclang-rt-dev
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

# three.js and fflate are embedded into the executable from ui/node_modules, pinned by the
# committed lockfile; reinstall when the lockfile changed since the last install.
cd "$(dirname "$0")/../ui"
if [ ! -f node_modules/.package-lock.json ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
    echo "setup: installing the page's npm packages" >&2
    npm ci --no-audit --no-fund --loglevel=error >/dev/null
fi
