#!/usr/bin/env bash
# Builds the tool and starts it; arguments are passed on (see --help).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh >&2
exec build/forgeset-server-tool "$@"
