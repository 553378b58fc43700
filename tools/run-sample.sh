#!/usr/bin/env bash
# Sets up, makes the sample data and runs Halvo's main job on it.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
build=${HALVO_BUILD_DIR:-build}
mkdir -p sample/output
python3 tools/make_sample_data.py sample >&2
"$build"/ext/halvo run \
  --landcover sample/landcover.tif \
  --analysis sample/watersheds.shp --field NAME \
  --coefficients NLCD --density medium \
  --output sample/output/watersheds_is.shp --yes
echo "Results are in $(pwd)/sample/output"
