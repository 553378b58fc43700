#!/usr/bin/env bash
# The halvo program as scripts meet it: its exit status, its words on stderr,
# the extension folder it picks and the coefficient store shared between runs.
source "$(dirname "$0")/lib.sh"
coeff() { set +e; out=$("$HALVO" coefficients "$@" 2>"$SCRATCH/err" </dev/null); status=$?; err=$(cat "$SCRATCH/err"); set -e; }
store=$HALVO_HOME/etc/isprops.xml
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
version=$(sed -n 's/^project(halvo VERSION \([0-9.]*\).*/\1/p' "$HALVO_SOURCE/CMakeLists.txt")

check "--version names another extension folder than HALVO_HOME" \
  test "$("$HALVO" --version)" = "halvo $version"$'\n'"extension folder: $HALVO_HOME"

# A read-only install (as packaged) gives each user a folder of their own, seeded with the store.
mkdir -p "$SCRATCH/tree/etc" "$SCRATCH/user" && cp "$HALVO" "$SCRATCH/tree/" && cp "$store" "$SCRATCH/tree/etc/"
chmod 755 "$SCRATCH" && chown 65534:65534 "$SCRATCH/user"
as_user() { "${nobody[@]}" env -u HALVO_HOME -u XDG_DATA_HOME HOME="$SCRATCH/user" "$SCRATCH/tree/halvo" "$@" </dev/null; }
user=$SCRATCH/user/.local/share/halvo
check "a read-only install works in the user's own folder" \
  test "$(as_user --version)" = "halvo $version"$'\n'"extension folder: $user"
check "the user's folder is seeded with the installed store" cmp -s "$store" "$user/etc/isprops.xml"
check "the user's folder has temp/ and output/" test -d "$user/temp" -a -d "$user/output"
check "the seeded store lists its set" test "$(as_user coefficients list)" = NLCD

# Failures exit 1 saying why, and leave the store as it was.
cp "$store" "$SCRATCH/before.xml"
printf '11,Water,0,0,0\r\na,Water,200,0,0\r\n' >"$SCRATCH/bad.csv" && printf '1,A,1,1,1\n' >"$SCRATCH/a.csv"
coeff import "$SCRATCH/bad.csv" --name Bad
check "a bad import line is named" test "$status" -eq 1 -a -n "$(grep -F "Invalid or incorrectly formated data in import file $SCRATCH/bad.csv" <<<"$err")"
coeff import "$SCRATCH/a.csv" --name NLCD
check "a taken set name is refused" test "$status" -eq 1 -a -n "$(grep -F 'Coefficient Set name must be unique' <<<"$err")"
coeff merge "$SCRATCH/bad.csv"
check "merging a file that is no store is refused" test "$status" -eq 1 -a -n "$(grep -F 'Failed To Load XML - Invalid file format.' <<<"$err")"
coeff export Nope "$SCRATCH/x.csv"
check "exporting an unknown set fails and writes nothing" test "$status" -eq 1 -a ! -e "$SCRATCH/x.csv"
coeff show Nope
check "showing an unknown set fails" test "$status" -eq 1
check "failed commands leave the store alone" cmp -s "$store" "$SCRATCH/before.xml"

# Merge renames taken names and says so; exit 0 and the new names on stdout.
coeff import "$SCRATCH/a.csv" --name A
coeff merge "$store"
check "merge lists the renamed sets" test "$status" -eq 0 -a "$out" = $'NLCD2\nA2'
check "merge says what it renamed" grep -qF "A '2' was appended" <<<"$err"

# Concurrent imports: every good one is kept, a bad one stores nothing, and of two
# racing for one name exactly one gets it.
for i in 0 1 2 3 4 5 6 7; do
  name=S$i csv=$SCRATCH/a.csv
  [ "$i" -lt 2 ] && name=Same
  [ $((i % 4)) -eq 3 ] && csv=$SCRATCH/bad.csv
  ( "$HALVO" coefficients import "$csv" --name "$name" >/dev/null 2>&1 </dev/null; echo "$name $?" >>"$SCRATCH/statuses" ) &
done
wait
coeff list
check "concurrent imports keep every good set" test "$(grep -cxE 'S2|S4|S5|S6' <<<"$out")" -eq 4
check "a failed concurrent import stores nothing" test "$(grep -cxE 'S3|S7' <<<"$out")" -eq 0
check "two imports racing for one name: one wins" test "$(grep -cx 'Same 0' "$SCRATCH/statuses")" -eq 1 -a "$(grep -cx Same <<<"$out")" -eq 1

# A read-only store is refused, also for an ordinary user who owns its folder
# (renaming over it would need no write access to the file).
cp "$store" "$SCRATCH/before.xml" && chmod 444 "$store"
coeff import "$SCRATCH/a.csv" --name RO
check "a read-only store is refused" test "$status" -eq 1 -a -n "$(grep -F "Failed To Save XML - verify the permissions to write to file '$store'" <<<"$err")"
chown -R 65534:65534 "$HALVO_HOME"
set +e; err=$("${nobody[@]}" env HALVO_HOME="$HALVO_HOME" "$HALVO" coefficients import "$SCRATCH/a.csv" --name RO 2>&1 </dev/null); status=$?; set -e
check "a read-only store is refused to its owner" test "$status" -eq 1 -a -n "$(grep -F 'Failed To Save XML' <<<"$err")"
check "a refused save leaves the store and no scratch file" test "$(ls "$HALVO_HOME/etc")" = isprops.xml
check "a refused save leaves the store whole" cmp -s "$store" "$SCRATCH/before.xml"
chmod 644 "$store"

# Deep or huge stores are no stores: refused, not walked until the stack runs out.
python3 -c 'import sys; open(sys.argv[1], "w").write("<ISModelProperties><ISLCDefs><ISLCDef><LCType>" + "<a>" * 50000 + "</a>" * 50000 + "</LCType></ISLCDef></ISLCDefs></ISModelProperties>")' "$SCRATCH/deep.xml"
coeff merge "$SCRATCH/deep.xml"
check "a deep file is not merged" test "$status" -eq 1 -a -n "$(grep -F 'Failed To Load XML - Invalid file format.' <<<"$err")"
cp "$SCRATCH/deep.xml" "$store" && coeff list
check "a deep store is no store" test "$status" -eq 1 -a -n "$(grep -F "Failed To Load XML - verify the file 'isprops.xml' is located in the '$store'." <<<"$err")"
truncate -s $(((64 << 20) + 1)) "$store" && coeff list
check "a store over the size limit is no store" test "$status" -eq 1 -a -n "$(grep -F "Failed To Load XML - verify the file 'isprops.xml'" <<<"$err")"

# Without a store, import and merge make the first.
rm -r "$HALVO_HOME/etc" && coeff list
check "no store: list fails" test "$status" -eq 1
coeff import "$SCRATCH/a.csv" --name A && coeff list
check "no store: an import makes it" test "$out" = A
rm "$store" && coeff merge "$SCRATCH/tree/etc/isprops.xml" && coeff list
check "no store: a merge makes it" test "$out" = NLCD

# Reports and imports read regular files only: a FIFO nobody writes would block for ever.
mkfifo "$SCRATCH/out.prm"
set +e; err=$(timeout 20 "$HALVO" report prm "$SCRATCH/out.shp" 2>&1 </dev/null); status=$?; set -e
check "a FIFO report is refused" test "$status" -eq 1 -a -n "$(grep -F 'is not a regular file' <<<"$err")"
set +e; err=$(timeout 20 "$HALVO" coefficients import "$SCRATCH/out.prm" --name F 2>&1 </dev/null); status=$?; set -e
check "a FIFO import is refused" test "$status" -eq 1 -a -n "$(grep -F 'cannot be read' <<<"$err")"
finish
