# Sourced by the repro scripts: a scratch folder, a fresh installation folder,
# the sample case, and checks that say what went wrong.
set -euo pipefail
: "${HALVO:?run through ctest}"
[ -d "$HALVO_SHARED_DATA" ] || { echo "missing shared data: $HALVO_SHARED_DATA" >&2; exit 1; }
SCRATCH=$(mktemp -d)
trap 'rm -rf "$SCRATCH"' EXIT
export HALVO_HOME=$SCRATCH/home
mkdir -p "$HALVO_HOME/etc"
cp "$HALVO_SOURCE/etc/isprops.xml" "$HALVO_HOME/etc/"
SAMPLE=$SCRATCH/sample
/usr/bin/python3 "$HALVO_SOURCE/tools/make_sample_data.py" "$SAMPLE" >/dev/null
passed=0 failed=0

fail() { echo "FAIL: $*" >&2; failed=$((failed + 1)); }
ok() { passed=$((passed + 1)); }
# check NAME COMMAND...: the command's success is the case's.
check() { local name=$1; shift; if "$@"; then ok; else fail "$name"; fi; }
# run_halvo ARGS...: the sample run with the given extra arguments; output and status in $out, $status.
run_halvo() { set +e; out=$("$HALVO" run --landcover "$SAMPLE/landcover.tif" --analysis "$SAMPLE/watersheds.shp" --field NAME "$@" 2>&1 </dev/null); status=$?; set -e; }
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; }
