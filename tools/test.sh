#!/usr/bin/env bash
# Sets up and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
build=${HALVO_BUILD_DIR:-build}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
