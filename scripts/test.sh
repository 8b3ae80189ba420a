#!/usr/bin/env bash
# Installs the build and test dependencies, builds the dev configuration (ASan+UBSan, warnings
# as errors) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests
cmake --workflow --preset dev
