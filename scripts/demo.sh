#!/usr/bin/env bash
# Installs the build dependencies, builds the release configuration and starts the kiosk.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
exec build/release/app/halsodeklaration "$@"
