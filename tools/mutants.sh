#!/usr/bin/env bash
# Plants each fault of tools/mutants.list in turn, rebuilds incrementally in
# its own build tree, runs the suite until the first failure and prints
# whether the fault was killed or survived, then the score. Too slow for CI.
# Usage: tools/mutants.sh [ID_REGEX]   (HALVO_MUTANTS_BUILD, default build-mutants)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
build=${HALVO_MUTANTS_BUILD:-build-mutants}
only=${1:-.}
list=tools/mutants.list

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHALVO_WERROR=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null || exit 1
fi
cmake --build "$build" -j2 >/dev/null || { echo "mutants: the unmutated tree does not build" >&2; exit 1; }

# Tests failing without any fault say nothing about a fault: leave them out.
log=$(mktemp -d)
saved=""
restore() {
  # A fresh copy (new mtime), so the next build recompiles what the mutant touched.
  [ -n "$saved" ] && cat "$log/original" > "$saved"
  saved=""
}
trap 'restore; rm -rf "$log"' EXIT
trap 'exit 130' INT TERM
echo "mutants: baseline run" >&2
ctest --test-dir "$build" -j2 --timeout 600 >"$log/baseline" 2>&1 </dev/null
exclude=$(sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) (.*/\1/p' "$log/baseline" | sed 's/[][().*+?^$|]/\\&/g' | paste -sd'|')
[ -n "$exclude" ] && echo "mutants: failing before any fault, left out: ${exclude//|/, }" >&2
ctest_args=(--test-dir "$build" -j2 --stop-on-failure --timeout 600)
[ -n "$exclude" ] && ctest_args+=(-E "^(${exclude})\$")

killed=0 survived=0 stale=0 broken=0 survivors=()
while IFS=$'\t' read -r id file text replacement; do
  case "$id" in '#'* | '') continue ;; esac
  [[ "$id" =~ $only ]] || continue
  if [ ! -f "$file" ] || ! python3 -c 'import sys; sys.exit(sys.argv[2] not in open(sys.argv[1]).read())' "$file" "$text"; then
    echo "stale         $id"; stale=$((stale + 1)); continue
  fi
  cp "$file" "$log/original"; saved=$file
  python3 -c 'import sys; f, t, r = sys.argv[1:]; s = open(f).read(); open(f, "w").write(s.replace(t, r, 1))' \
    "$file" "$text" "$replacement"
  if ! cmake --build "$build" -j2 >"$log/build" 2>&1 </dev/null; then
    echo "did not build $id"; broken=$((broken + 1))
  elif ctest "${ctest_args[@]}" >"$log/run" 2>&1 </dev/null; then
    echo "SURVIVED      $id"; survived=$((survived + 1)); survivors+=("$id")
  else
    echo "killed        $id  ($(sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) (.*/\1/p' "$log/run" | head -1))"
    killed=$((killed + 1))
  fi
  restore
done <"$list"
cmake --build "$build" -j2 >/dev/null 2>&1 || true

counted=$((killed + survived))
echo "killed ${killed}, survived ${survived}, stale ${stale}, did not build ${broken}"
[ "$counted" -gt 0 ] && echo "score ${killed}/${counted} ($((100 * killed / counted)) %)"
[ ${#survivors[@]} -gt 0 ] && echo "survivors: ${survivors[*]}"
exit 0
