#!/usr/bin/env bash
# Formatting (clang-format) over every C++ file, and the fault-finding checks
# of .clang-tidy over the engine, against the build's compile commands.
#   tools/check-style.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-${HALVO_BUILD_DIR:-build}}
format=$(command -v clang-format-14 || command -v clang-format)
tidy=$(command -v run-clang-tidy-14 || command -v run-clang-tidy)

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if ! "$format" --dry-run --Werror "${files[@]}"; then
  echo "check-style: run '$format -i' on the files above" >&2
  exit 1
fi

[ -f "$build/compile_commands.json" ] || { echo "check-style: no $build/compile_commands.json; build first" >&2; exit 1; }
mapfile -t engine < <(git ls-files 'support/*.cpp' 'host/*.cpp' 'coefficients/*.cpp' 'params/*.cpp' 'model/*.cpp' \
  'reports/*.cpp' 'cli/*.cpp' | grep -v '/qt/')
"$tidy" -p "$build" -quiet -j "$(nproc)" "${engine[@]}" > "$build/clang-tidy.log" 2>&1 || {
  grep -E 'error:|warning:' "$build/clang-tidy.log" >&2 || cat "$build/clang-tidy.log" >&2
  echo "check-style: clang-tidy found the faults above" >&2
  exit 1
}
