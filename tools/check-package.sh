#!/usr/bin/env bash
# Checks the Debian package the way a user meets it: builds it, holds it to
# lintian (errors fail), installs it and then, from the installed files only,
#  - runs `halvo run` on the sample data as an unprivileged user with a fresh
#    HOME: the per-user extension folder must be made and seeded;
#  - starts the real QGIS under Xvfb with a fresh profile and no settings
#    edited: it must load the plugin and show the "Impervious Surface Tools" menu.
# The package goes into a private mount namespace over throwaway overlays of
# /usr, /etc and /var, so neither the machine nor the build tree's tests see it;
# where that is not allowed it goes into the machine and is removed afterwards.
#
#   tools/check-package.sh        (as root, after tools/setup.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${HALVO_BUILD_DIR:-$root/build}")
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fail() { echo "check-package: $*" >&2; exit 1; }

if [ "${1:-}" != --installed ]; then
  [ "$(id -u)" -eq 0 ] || fail "run it as root: it installs the package"
  cmake --build "$build" --target package >&2
  deb=$(ls -t "$build"/halvo_*_"$(dpkg --print-architecture)".deb | head -1)
  echo "check-package: $deb" >&2
  lintian --fail-on error "$deb" >&2 || fail "lintian found errors"
  depends=$(dpkg-deb -f "$deb" Depends)
  for lib in libgdal libgeos-c libpugixml libqgis-core libqgis-gui libqt5widgets5; do
    grep -q "$lib" <<<"$depends" || fail "Depends names no $lib: $depends"
  done
  work=$(mktemp -d /tmp/halvo-package.XXXXXX)
  chmod 755 "$work"
  trap 'rm -rf "$work"' EXIT
  # Can this machine lay a throwaway overlay in a namespace of its own?
  mkdir -p "$work/probe/"{lower,upper,work,mnt}
  if unshare -m --propagation private mount -t overlay overlay \
       -o "lowerdir=$work/probe/lower,upperdir=$work/probe/upper,workdir=$work/probe/work" "$work/probe/mnt" 2>/dev/null; then
    unshare -m --propagation private "$0" --installed "$deb" "$work" overlay
  else
    ! dpkg-query -W halvo >/dev/null 2>&1 || fail "halvo is installed on this machine already; remove it first"
    echo "check-package: no private mount namespace here: installing into the machine, removed afterwards" >&2
    trap 'dpkg --purge halvo >&2 || true; rm -rf "$work"' EXIT
    dpkg -i "$deb" >&2
    "$0" --installed "$deb" "$work" machine
  fi
  exit
fi

# --- with the package installed ------------------------------------------------
deb=$2 work=$3 mode=$4
if [ "$mode" = overlay ]; then
  for d in usr etc var; do
    mkdir -p "$work/overlay/$d/upper" "$work/overlay/$d/work"
    mount -t overlay overlay -o "lowerdir=/$d,upperdir=$work/overlay/$d/upper,workdir=$work/overlay/$d/work" "/$d"
  done
  dpkg -i "$deb" >&2
fi
version=$(dpkg-query -W -f='${Version}' halvo)

# The program, as a user who cannot write where it lives.
python3 "$root/tools/make_sample_data.py" "$work/data" >&2
home=$work/home
mkdir -p "$home"
chown 65534:65534 "$home"
user=("${nobody[@]}" env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8)
folder=$home/.local/share/halvo
shown=$("${user[@]}" /usr/bin/halvo --version) || fail "the installed halvo --version failed"
[ "$shown" = "halvo $version"$'\n'"extension folder: $folder" ] || fail "halvo --version said: $shown"
cmp -s "$folder/etc/isprops.xml" /usr/share/halvo/etc/isprops.xml || fail "$folder/etc/isprops.xml was not seeded"
"${user[@]}" mkdir "$home/out"
"${user[@]}" /usr/bin/halvo run --landcover "$work/data/landcover.tif" --analysis "$work/data/watersheds.shp" \
  --field NAME --coefficients NLCD --density medium --output "$home/out/watersheds_is.shp" --yes >&2
for f in watersheds_is.shp watersheds_is.prm watersheds_is.met; do
  [ -s "$home/out/$f" ] || fail "the installed halvo wrote no $f"
done
[ -d "$folder/temp" ] && [ -d "$folder/output" ] || fail "$folder lacks temp/ or output/"
echo "check-package: the installed halvo ran as an unprivileged user in $folder" >&2

# The build tree keeps its own folder, and its folder tests pass, while the package is installed.
shown=$("$build/ext/halvo" --version)
[ "${shown##*: }" = "$build/ext" ] || fail "the build tree's halvo chose ${shown##*: }"
ctest --test-dir "$build" -R '^(Version|ExtensionFolderRules|HelpWindow|AboutBox)\.' --output-on-failure >&2 ||
  fail "the build tree's folder tests fail with the package installed"

# QGIS, fresh profile, nothing edited: the plugin comes from QGIS's own plugin folder.
qhome=$work/qgis-home
mkdir -p "$qhome"
chown 65534:65534 "$qhome"
cat >"$work/menus.py" <<PY
from qgis.PyQt.QtCore import QTimer
from qgis.utils import iface

bar = iface.mainWindow().menuBar()
titles = [a.text().replace("&", "") for a in bar.actions() if a.isVisible()]
tools = [a.menu() for a in bar.actions() if a.text().replace("&", "") == "Impervious Surface Tools"]
entries = [a.text() for a in tools[0].actions() if not a.isSeparator()] if tools else []
with open("$qhome/menus.txt", "w") as f:
    f.write("\n".join(titles) + "\n--\n" + "\n".join(entries) + "\n")
QTimer.singleShot(0, iface.actionExit().trigger)
PY
chmod 644 "$work/menus.py"
"${nobody[@]}" env -i PATH=/usr/bin:/bin HOME="$qhome" LANG=C.UTF-8 XDG_RUNTIME_DIR="$qhome" \
  timeout 180 xvfb-run -a -s '-screen 0 1280x800x24' \
  qgis --profiles-path "$qhome/qgis" --nologo --noversioncheck --code "$work/menus.py" >"$work/qgis.log" 2>&1 || true
[ -f "$qhome/menus.txt" ] || { tail -20 "$work/qgis.log" >&2; fail "QGIS did not come up"; }
grep -qx "Impervious Surface Tools" "$qhome/menus.txt" || {
  cat "$qhome/menus.txt" >&2; tail -20 "$work/qgis.log" >&2; fail "QGIS shows no Impervious Surface Tools menu"; }
grep -q "Halvo: plugin loaded from $qhome/.local/share/halvo" "$work/qgis.log" ||
  fail "the plugin did not use the per-user folder: $(grep Halvo "$work/qgis.log")"
echo "check-package: QGIS with a fresh profile shows Impervious Surface Tools: $(sed -n '/^--$/,$p' "$qhome/menus.txt" | tail -n +2 | paste -sd '|')" >&2

if [ "$mode" = overlay ]; then
  dpkg --purge halvo >&2
  [ ! -e /usr/lib/qgis/plugins/halvo_ext.so ] || fail "dpkg --purge left the plugin behind"
fi
echo "check-package: ok" >&2
