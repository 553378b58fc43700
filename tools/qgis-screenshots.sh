#!/usr/bin/env bash
# Starts the real QGIS under Xvfb with a fresh profile and the Halvo plugin
# installed, opens the "Impervious Surface Tools" menu, runs an analysis on the
# sample data and saves screenshots.
#
#   tools/qgis-screenshots.sh [OUTDIR]      (default: help/images)
#
# Fails when QGIS does not load the plugin or the run leaves no output layer.
# Needs qgis, xvfb, xauth, imagemagick and xdotool (tools/setup.sh installs them).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/help/images}")
build=${HALVO_BUILD_DIR:-$root/build}

if [ -z "${HALVO_IN_XVFB:-}" ]; then
  for tool in qgis xvfb-run xauth import xdotool; do
    command -v "$tool" >/dev/null || { echo "qgis-screenshots: $tool is missing (tools/setup.sh installs it)" >&2; exit 1; }
  done
  work=$(mktemp -d /tmp/halvo-shots.XXXXXX)
  [ -n "${HALVO_KEEP_WORK:-}" ] || trap 'rm -rf "$work"' EXIT
  mkdir -p "$out" "$work/home" "$work/runtime" "$work/out"
  chmod 700 "$work/runtime"
  python3 "$root/tools/make_sample_data.py" "$work/data" >&2
  "$root/tools/install-plugin.sh" --build "$build" --profiles-path "$work/qgis" >&2
  # No question about datum transformations may sit between the script and its windows.
  printf '\n[Projections]\npromptWhenMultipleTransformsExist=false\nshowDatumTransformDialog=false\n' \
    >>"$work/qgis/profiles/default/QGIS/QGIS3.ini"
  HALVO_IN_XVFB=1 WORK=$work OUT=$out HOME=$work/home XDG_RUNTIME_DIR=$work/runtime \
    xvfb-run -a -s '-screen 0 1600x1000x24' "$0" "$out"
  exit $?
fi

# --- inside Xvfb -----------------------------------------------------------
log=$WORK/qgis.log
qgis --profiles-path "$WORK/qgis" --nologo --noversioncheck \
  "$WORK/data/landcover.tif" "$WORK/data/watersheds.shp" >"$log" 2>&1 &
qgis_pid=$!
cleanup() { kill "$qgis_pid" 2>/dev/null || true; wait "$qgis_pid" 2>/dev/null || true; }
trap cleanup EXIT

fail() {
  echo "qgis-screenshots: $*" >&2
  import -window root "$OUT/failure.png" 2>/dev/null || true
  tail -20 "$log" >&2 || true
  exit 1
}

# Waits up to $2 seconds for a window whose name matches $1; prints its id.
wait_window() {
  local i id
  for ((i = 0; i < $2 * 4; i++)); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$qgis_pid" 2>/dev/null || return 1
    sleep 0.25
  done
  return 1
}
# shot NAME [DELAY] [WINDOW-ID | WxH+X+Y]: the whole screen, one window, or a part,
# at full size so the help pages can show them unscaled.
shot() {
  sleep "${2:-1}"
  case ${3:-} in
    "") import -window root "$OUT/$1.png" ;;
    *x*+*+*) import -window root -crop "$3" +repage "$OUT/$1.png" ;;
    *) import -window "$3" "$OUT/$1.png" ;;
  esac
  echo "qgis-screenshots: $OUT/$1.png" >&2
}

main=$(wait_window ' QGIS$' 90) || fail "QGIS did not come up"
for ((i = 0; i < 120; i++)); do
  grep -q "Halvo: plugin loaded" "$log" && break
  sleep 0.25
done
grep -q "Halvo: plugin loaded" "$log" || fail "QGIS did not load the Halvo plugin"
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus "$main"
xdotool windowsize "$main" 1600 1000 windowmove "$main" 0 0
sleep 3
# QGIS may still ask which datum transformation to use for the sample's CRS: take its first choice.
for ((i = 0; i < 3; i++)); do
  ask=$(xdotool search --onlyvisible --name 'Transformation' 2>/dev/null | head -1 || true)
  [ -z "$ask" ] && break
  xdotool windowfocus --sync "$ask" 2>/dev/null || true
  xdotool key Return
  sleep 1
done
shot qgis-main 1

# The menu, opened from the keyboard.
xdotool windowfocus --sync "$main" 2>/dev/null || true; xdotool key alt+i
shot menu 1 1000x420+400+0

# "Run Impervious Surface Analysis..." is the first entry.
xdotool key Return
dialog=$(wait_window '^Halvo$' 20) || fail "the analysis dialog did not open"
xdotool windowactivate --sync "$dialog" 2>/dev/null || true
shot params-dialog 1 "$dialog"

# Fill it from the keyboard: field NAME, "Medium", the output shapefile, then "Run".
xdotool key Tab Tab Tab            # cboLCUnits, cboAnalysisTheme, cboAnalysisUnit
xdotool type N                     # NAME
xdotool key Tab Tab Right space    # cboLCType, then the options: "Medium"
xdotool key Tab                    # txtOutputTheme
xdotool type "$WORK/out/watersheds_is"
xdotool key Tab Tab                # leaves the box (validated), txtThemeName
shot params-filled 1 "$dialog"
xdotool key Tab Tab space          # past the HTML page box to "Run"

# The run ends with its success and NODATA notices in QGIS's message bar.
for ((i = 0; i < 480; i++)); do
  [ -f "$WORK/out/watersheds_is.prm" ] && break
  kill -0 "$qgis_pid" 2>/dev/null || fail "QGIS ended during the run"
  sleep 0.25
done
xdotool key --window "$dialog" Escape 2>/dev/null || true
xdotool windowactivate --sync "$main" 2>/dev/null || true
shot nodata-notice 2 1600x220+0+0
[ -f "$WORK/out/watersheds_is.shp" ] || fail "the run wrote no output shapefile"
[ -f "$WORK/out/watersheds_is.prm" ] || fail "the run wrote no parameter report"
shot result-map 1 1100x760+280+120

# The help window and the About box.
xdotool windowfocus --sync "$main" 2>/dev/null || true; xdotool key alt+i
sleep 1
xdotool key Up Up Return
wait_window '^Halvo Help$' 20 >/dev/null || fail "the help window did not open"
shot help-window 2
echo "qgis-screenshots: done" >&2
