#!/usr/bin/env bash
# Checks the architecture's rules that a compiler does not: only host/ talks to
# GDAL, OGR and GEOS; the engine builds without Qt; no face reaches past the
# engine's one entry point into its stages; the request layer (params/) never
# reaches up into the run (model/); errors are caught at the faces, not all
# the way down; names read as plain C++.
set -euo pipefail
cd "$(dirname "$0")/.."
fail=0
say() { echo "check-layout: $*" >&2; fail=1; }

engine='^(support|host|coefficients|params|model|reports|cli)/'
sources=$(git ls-files '*.cpp' '*.h')

# GDAL, OGR, CPL and GEOS headers: host/ only (tests, benchmarks and fuzz
# targets make their data with GDAL).
hits=$(grep -l -E '#include *[<"](gdal|ogr|cpl_|geos)' $sources | grep -v -E '^(host|tests|bench|fuzz)/' || true)
[ -z "$hits" ] || say "GDAL/OGR/GEOS headers outside host/: $hits"

# ...nor through a host header: those that include GDAL, OGR or GEOS are host's own.
for h in $(git ls-files 'host/*.h' | xargs grep -l -E '#include *[<"](gdal|ogr|cpl_|geos)' || true); do
  hits=$(grep -l "#include \"$h\"" $sources | grep -v -E '^(host|tests|bench|fuzz)/' || true)
  [ -z "$hits" ] || say "$h (GDAL inside) included outside host/: $hits"
done

# Qt and QGIS stay out of the engine's folders (their Qt code lives in */qt/).
hits=$(printf '%s\n' $sources | grep -E "$engine" | grep -v '/qt/' | xargs grep -l -E '#include *<(Q[A-Za-z]+|qgs[a-z]+\.h)>' || true)
[ -z "$hits" ] || say "Qt or QGIS headers in the engine: $hits"

# The faces start a run through model/run.h only.
hits=$(printf '%s\n' $sources | grep -E '^(cli|plugin|params/qt)/' |
  xargs grep -l -E '#include "model/(area_table|scenario|density|scratch_layers|procedure|result_fields)\.h"' || true)
[ -z "$hits" ] || say "a face includes a model stage instead of model/run.h: $hits"

# params/ (the request builder and the dialog's form) sits below model/.
hits=$(printf '%s\n' $sources | grep -E '^params/' | xargs grep -l -E '#include "model/' || true)
[ -z "$hits" ] || say "params/ includes model/ (the request layer sits below the run): $hits"

# Product code: no cls/frm/bas types, no _Click handlers.
# The procedure and module names the error report lists are data (strings).
named=$(printf '%s\n' $sources | grep -v -E '^(tests|bench|fuzz)/')
hits=$(printf '%s\n' $named | xargs grep -n -E '^\s*(class|struct) +(cls|frm|bas)[A-Z]|\b[A-Za-z]+_Click *\(' || true)
[ -z "$hits" ] || say "old-style names (cls/frm/bas types, _Click handlers):"$'\n'"$hits"

# Catch sites (a catch clause, or a Guarded wrapper that catches): at most
# $max_catch in product code outside tests. Faces catch once; below them,
# errors travel.
max_catch=30
count=$(printf '%s\n' $sources | grep -v -E '^(tests|bench|fuzz)/' |
  xargs grep -o -E '\bcatch *\(|\bGuarded(Void)? *\(' | wc -l)
[ "$count" -le "$max_catch" ] || say "$count catch sites in product code (at most $max_catch)"

exit $fail
