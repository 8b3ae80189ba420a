#!/usr/bin/env bash
# Installs the build and test dependencies, starts a throwaway PostgreSQL server for the
# integration tests, builds the dev configuration (ASan+UBSan, warnings as errors) and runs
# every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests

eval "$(bash scripts/test-postgres.sh start)"
trap 'bash scripts/test-postgres.sh stop "$VN_TEST_PG_DIR"' EXIT

cmake --workflow --preset dev
