# A run's page in headless Chromium, and a made-up page of 2500 zones: every
# zone drawn, the table equal to the .dbf, no console errors, map and table
# there with scripts off too. The
# screenshot is left at $HALVO_BUILD/tests/html/page.png for a person to look at.
set -euo pipefail
: "${HALVO:?run through ctest}"
data=$HALVO_SHARED_DATA/durham-thirdfork
[ -f "$data/Third_ForkCats.shp" ] || { echo "missing shared data: $data" >&2; exit 1; }
command -v chromium >/dev/null || { echo "chromium is not installed: run tools/setup.sh" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HALVO_HOME=$scratch/home
mkdir -p "$HALVO_HOME/etc" "$HALVO_BUILD/tests/html" "$scratch/out"
cp "$HALVO_SOURCE/etc/isprops.xml" "$HALVO_HOME/etc/"

page="$scratch/out/Third Fork <catchments>.html"
run() {
  "$HALVO" run --landcover "$data/NLCD.tif" --analysis "$data/Third_ForkCats.shp" --field FEATUREID --html \
    --output "$scratch/out/catchments.shp" --layer-name "Third Fork <catchments>" </dev/null >"$scratch/run.log" 2>&1
}
echo mine >"$page"
if run || [ "$(cat "$page")" != mine ]; then echo "FAIL: the run replaced a page it did not write" >&2; exit 1; fi
rm "$page"
run || { cat "$scratch/run.log" >&2; exit 1; }
cp "$page" "$scratch/run.html"
"$HALVO" report html "$scratch/out/catchments.shp" >/dev/null
cmp "$page" "$scratch/run.html" || { echo "FAIL: halvo report html differs from the run's page" >&2; exit 1; }
echo mine >"$page"
if "$HALVO" report html "$scratch/out/catchments.shp" 2>/dev/null || [ "$(cat "$page")" != mine ]; then
  echo "FAIL: halvo report html replaced a page it did not write" >&2
  exit 1
fi
cp "$scratch/run.html" "$page"

# Root (CI) needs no sandbox; the other switches keep the browser off the network.
browser() {
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$(mktemp -d -p "$scratch")" "$@"
}
url() { echo "file://$(/usr/bin/python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$1")"; }
check() {  # PAGE DBF LAYER: the page as the browser built it, and as the file has it without scripts
  browser --enable-logging=stderr --v=0 --dump-dom "$(url "$1")" >"$scratch/dom.html" 2>"$scratch/console.log"
  if grep -a 'CONSOLE' "$scratch/console.log"; then
    echo "FAIL: the page wrote to the console" >&2
    exit 1
  fi
  /usr/bin/python3 "$HALVO_SOURCE/tests/html/check_page.py" "$2" "$scratch/dom.html" "$3" scripted
  /usr/bin/python3 "$HALVO_SOURCE/tests/html/check_page.py" "$2" "$1" "$3"
}
browser --hide-scrollbars --window-size=1000,2600 --screenshot="$HALVO_BUILD/tests/html/page.png" "$(url "$page")" 2>/dev/null
check "$page" "$scratch/out/catchments.dbf" "Third Fork <catchments>"
# A page of more zones than it draws one by one: the table pages through the text of every zone.
HALVO=$HALVO REPEAT=0 bash "$HALVO_SOURCE/bench/html_page.sh" 2500 "$scratch/big" >/dev/null
check "$scratch/big/zones2500.html" "$scratch/big/zones2500.dbf" zones2500
