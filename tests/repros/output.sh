#!/usr/bin/env bash
# Writing the output: nothing outside the output's own files is ever replaced,
# and an earlier output's files never outlive it.
source "$(dirname "$0")/lib.sh"

# A path too long for GDAL is refused before anything is written; the
# current folder (where GDAL used to fall back to) keeps the user's out.shp.
d=$(printf 'd%.0s' {1..200}) long=$SCRATCH/long
for _ in {1..10}; do long=$long/$d; done
mkdir -p "$long" "$SCRATCH/cwd" && echo mine >"$SCRATCH/cwd/out.shp"
(cd "$SCRATCH/cwd" && run_halvo --output "$long/out.shp" && echo "$out" >"$SCRATCH/long.txt")
check "long path refused naming the limit" grep -q "at most 2047 bytes" "$SCRATCH/long.txt"
check "long path: current folder untouched" test "$(ls "$SCRATCH/cwd")" = out.shp -a "$(cat "$SCRATCH/cwd/out.shp")" = mine

# A stale staging folder whose .previous links elsewhere: nothing is pulled from there.
o=$SCRATCH/link && mkdir -p "$o/.halvo-staging-999999-AbCdEf" "$SCRATCH/private" && echo x >"$SCRATCH/private/precious.txt"
ln -s "$SCRATCH/private" "$o/.halvo-staging-999999-AbCdEf/.previous"
run_halvo --output "$o/out.shp"
check "linked .previous not followed" test -f "$SCRATCH/private/precious.txt" -a ! -e "$o/precious.txt"

# Reports are named after the layer: another output's, or the user's own, are not replaced.
o=$SCRATCH/reports && mkdir -p "$o"
run_halvo --output "$o/a.shp" --layer-name X --density high
run_halvo --output "$o/b.shp" --layer-name X --density low
check "another output's reports refused" grep -q "give the output another layer name" <<<"$out"
check "another output's reports kept" grep -q "High population" "$o/X.prm"
echo user-made >"$o/notes.prm" && run_halvo --output "$o/c.shp" --layer-name notes
check "the user's notes.prm kept" test "$status" -ne 0 -a "$(cat "$o/notes.prm")" = user-made
run_halvo --output "$o/a.shp" --layer-name X --density low
check "the output's own .prm not replaced, or a --density low run named Medium" grep -q "Low population" "$o/X.prm"

# The input's name in another folder is another file; a .qix index an earlier
# output left goes with the files it indexed.
o=$SCRATCH/twin && mkdir -p "$o" && echo stale >"$o/watersheds.qix"
run_halvo --output "$o/watersheds.shp"
check "output named like an input in another folder refused" test "$status" -eq 0
check "stale .qix of an earlier output left beside the new one" test ! -e "$o/watersheds.qix"

# A folder at an output name is not the output's to replace; nor is a name of another format.
o=$SCRATCH/dir && mkdir -p "$o/out.qml" && echo x >"$o/out.qml/inside.txt" && run_halvo --output "$o/out.shp"
check "folder at an output name kept" test "$status" -ne 0 -a -f "$o/out.qml/inside.txt"
run_halvo --output "$o/x.gpkg|layername=L" && r1=$status && run_halvo --output "$o/x.gpkg"
check "other formats refused" test "$r1" -ne 0 -a "$status" -ne 0 -a -z "$(ls "$o" | grep -v out.qml)"

# A missing output folder: asked about; no terminal and no --yes writes nothing,
# --yes writes into the output folder, made on demand.
run_halvo --output "$SCRATCH/nosuch/x.shp"
check "missing folder refused without --yes" test "$status" -ne 0 -a ! -e "$HALVO_HOME/output/x.shp"
run_halvo --output "$SCRATCH/nosuch/x.shp" --yes
check "missing folder with --yes: written to output/" test "$status" -eq 0 -a -f "$HALVO_HOME/output/x.shp"

# A signal while a question waits on the terminal still stops the run as a signal does.
mkfifo "$SCRATCH/keyboard"
for sig in INT:130 TERM:143; do
    name=${sig%%:*} log=$SCRATCH/ask-${sig%%:*}.log
    script -qefc "$HALVO run --landcover $SAMPLE/landcover.tif --analysis $SAMPLE/watersheds.shp --field NAME --output $SCRATCH/ask-$name/x.shp" "$log" <"$SCRATCH/keyboard" >/dev/null 2>&1 &
    asker=$!
    exec 3>"$SCRATCH/keyboard"  # the keyboard stays open, as a person's would
    for _ in $(seq 600); do grep -q "OK or Cancel" "$log" 2>/dev/null && break; sleep 0.1; done
    pkill -"$name" -f "^$HALVO run .*ask-$name/x.shp" || true
    set +e; wait "$asker"; code=$?; set -e
    exec 3>&-
    check "SIG$name at a question exits ${sig##*:} (got $code)" test "$code" -eq "${sig##*:}"
done
# DEL is a control character too: a file name GDAL and dBASE readers choke on.
run_halvo --output "$SCRATCH/a$(printf '\x7f')b.shp" --layer-name plain
check "an output name holding DEL refused" grep -q "control character" <<<"$out"

finish
