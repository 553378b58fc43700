#!/usr/bin/env bash
# Installs what Halvo builds with (Debian 12), configures and builds.
# Idempotent: packages already present are not touched; an existing build is reused.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build g++ pkg-config
  libgdal-dev gdal-bin libgeos-dev libpugixml-dev libcli11-dev
  libgtest-dev libgmock-dev
  python3 python3-gdal python3-numpy
  python3-dev pybind11-dev python3-pandas python3-dask python3-distributed python3-pytest
  qtbase5-dev qttools5-dev qttools5-dev-tools libqgis-dev qgis xvfb xauth imagemagick xdotool
  clang-14 libclang-rt-14-dev clang-format-14 clang-tidy-14
  help2man lintian strace
  chromium
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

build=${HALVO_BUILD_DIR:-build}
if [ ! -f "$build/build.ninja" ]; then
  # shellcheck disable=SC2086  # extra arguments are words
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release ${HALVO_CMAKE_ARGS:-} >&2
fi
cmake --build "$build" -j"$(nproc)" >&2
