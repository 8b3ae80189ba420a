#!/usr/bin/env bash
# Installs the build dependencies, builds the release configuration and starts the kiosk on the
# demo journal: a folder of the user's own with its settings, data-link file and SQLite journal,
# made on the first run and kept afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release
cmake --build --preset release
exec build/release/app/halsodeklaration --demo "$@"
