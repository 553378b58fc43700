#!/usr/bin/env bash
# The coefficient store, its comma-separated files, its locks and the extension folder.
source "$(dirname "$0")/lib.sh"
coeff() { set +e; out=$("$HALVO" coefficients "$@" 2>&1 </dev/null); status=$?; set -e; }
has() { [[ $out == *"$1"* ]] || { echo "  got: $out" >&2; false; }; }

# A store with a coefficient past 100 loads; the run names the class and level it cannot use.
python3 -c 'import re,sys; p=sys.argv[1]; t=open(p,newline="").read(); open(p,"w",newline="").write(re.sub(r"(<LCHigh>\s*)[0-9.]+", r"\g<1>150", t, 1))' "$HALVO_HOME/etc/isprops.xml"
coeff list
check "store with 150 loads" has NLCD
run_halvo --output "$SCRATCH/o.shp"
check "run names the class and level" has "gives the class 11 (Open Water) the High coefficient 150"

# Each build lays out the build tree's extension folder; a set imported there stays.
printf '1,A,1,1,1\n' >"$SCRATCH/a.csv"
coeff import "$SCRATCH/a.csv" --name Mine
grep -q seed-store.cmake "$HALVO_BUILD/build.ninja" || fail "the build does not seed the store"
cmake -DSOURCE="$HALVO_SOURCE/etc/isprops.xml" -DDEST="$HALVO_HOME/etc" -P "$HALVO_SOURCE/tools/seed-store.cmake"
coeff list
check "an imported set survives the build" has Mine

# A header alone is an empty set; a negative class ID is refused saying the range.
printf 'Value,ClassName,High,Medium,Low\r\n' >"$SCRATCH/header.csv"
coeff import "$SCRATCH/header.csv" --name Empty
check "a header alone is an empty set" test "$status" -eq 0
printf '%s\n' '-5,A,1,1,1' >"$SCRATCH/neg.csv"
coeff import "$SCRATCH/neg.csv" --name Neg
check "class ID range stated" has "A class ID is a whole number from 0 to 2147483647."

# A held lock: the wait names the holder and gives up after --wait.
hold() { python3 -c 'import fcntl,os,sys,time; fd=os.open(sys.argv[1],os.O_RDONLY); fcntl.flock(fd,fcntl.LOCK_EX); open(sys.argv[2],"w").close(); time.sleep(120)' "$1" "$SCRATCH/held" & holder=$!; until [ -e "$SCRATCH/held" ]; do kill -0 "$holder"; sleep 0.05; done; rm "$SCRATCH/held"; }
hold "$HALVO_HOME/etc"
coeff import "$SCRATCH/a.csv" --name Late --wait 0.2
check "store wait names the holder" has "Waiting for another change to the coefficient store to finish (process $holder holds"
check "store wait gives up" has "Gave up waiting after 0.2 s"
kill "$holder"; wait "$holder" || true
mkdir -p "$HALVO_HOME/temp"
hold "$HALVO_HOME/temp"
run_halvo --output "$SCRATCH/o.shp" --coefficients Mine --wait 0
check "run wait names the holder" has "Waiting for another run of this installation to finish (process $holder holds"
check "run wait gives up" test "$status" -eq 1
kill "$holder"; wait "$holder" || true

# An extension folder that is no folder is said to be one.
ln -s "$SCRATCH/loop" "$SCRATCH/loop"
HALVO_HOME=/dev/null coeff list
check "a device is not a folder" has "The extension folder '/dev/null' is not a folder"
HALVO_HOME=$SCRATCH/loop coeff list
check "a link loop is said" has "too many levels of symbolic links"
HALVO_HOME=/dev/null run_halvo
check "the run says so too" has "is not a folder"
finish
