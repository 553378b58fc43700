#!/usr/bin/env bash
# Lines of tests (tests/ and the Python module's python/tests/) against lines of product code (C++, Python,
# CMake, shell outside them, fuzz/, bench/, tools/).
# Tracked files only, so build trees and generated files never count; translations are not code.
# Usage: tools/test-ratio.sh [--max RATIO]   (exits 1 when the ratio is above RATIO)
set -euo pipefail
cd "$(dirname "$0")/.."

count() { xargs -r cat -- | wc -l; }
product=$(git ls-files -- . ':!tests' ':!python/tests' ':!fuzz' ':!bench' ':!tools' \
  | grep -E '\.(cpp|cc|h|hpp|py|cmake|sh)$|(^|/)CMakeLists\.txt$' | count)
tests=$(git ls-files -- tests python/tests | grep -v -E '\.(png|gitattributes)$' | count)
ratio=$(awk -v t="$tests" -v p="$product" 'BEGIN { printf "%.2f", t / p }')
echo "tests ${tests} lines, product ${product} lines, ratio ${ratio}"
if [ "${1:-}" = --max ]; then
  awk -v r="$ratio" -v m="$2" 'BEGIN { exit !(r <= m) }' || { echo "test-ratio: above ${2}" >&2; exit 1; }
fi
