#!/usr/bin/env bash
# Checks the Debian package the way a user meets it: builds it, holds it to
# lintian (errors fail), installs it and then, from the installed files only,
#  - runs `halvo run` on the sample data as an unprivileged user with a fresh
#    HOME: the per-user extension folder must be made and seeded;
#  - holds the package to owning only its own files (dpkg -S: no file shared with
#    another package, nothing in the site's /usr/share/QGIS or /usr/local);
#  - starts the real QGIS under Xvfb in a login environment with a fresh profile
#    set to French and nothing else: it must load the plugin, show its menu in
#    French and open the help pages, and a site's own startup.py must still run;
#  - runs `qgis_process.bin list` as an unprivileged user with a fresh profile:
#    it must list the halvo: algorithms.
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
  # A site's own start-up hook, which the package must neither replace nor silence.
  mkdir -p /usr/share/QGIS/QGIS3
  printf 'open("%s/site-hook-ran", "w").close()\n' "$work/qgis-home" >/usr/share/QGIS/QGIS3/startup.py
  dpkg -i "$deb" >&2
fi
version=$(dpkg-query -W -f='${Version}' halvo)

# Every file is the package's own.
mapfile -t files < <(dpkg -L halvo | while read -r f; do [ -d "$f" ] || echo "$f"; done)
shared=$(dpkg -S "${files[@]}" 2>/dev/null | grep -v '^halvo: ' || true)
[ -z "$shared" ] || fail "files shared with other packages: $shared"
! printf '%s\n' "${files[@]}" | grep -E '^/usr/share/QGIS/|^/usr/local/' || fail "the package installs files the site owns"
for f in /usr/share/halvo/i18n/halvo_fr.qm /usr/share/halvo/i18n/halvo_de.qm /usr/share/halvo/halvo.svg \
  /usr/share/qgis/python/plugins/halvo_processing/metadata.txt /usr/share/halvo/help/is_index.html; do
  [ -s "$f" ] || fail "the package lacks $f"
done

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
# The Python module, from Debian's Python: the same run gives the same table.
"${user[@]}" /usr/bin/python3 -c '
import sys, halvo
r = halvo.run(landcover=sys.argv[1], analysis=sys.argv[2], field="NAME", coefficients="NLCD",
              density="medium", output=sys.argv[3], yes=True)
assert len(r.zones) > 0, r
' "$work/data/landcover.tif" "$work/data/watersheds.shp" "$home/out/py.shp" >&2 ||
  fail "the installed Python module halvo did not run"
cmp -s "$home/out/watersheds_is.dbf" "$home/out/py.dbf" || fail "halvo.run wrote another table than halvo run"
echo "check-package: the installed Python module gives the program's table" >&2

# The build tree keeps its own folder, and its folder tests pass, while the package is installed.
shown=$("$build/ext/halvo" --version)
[ "${shown##*: }" = "$build/ext" ] || fail "the build tree's halvo chose ${shown##*: }"
ctest --test-dir "$build" -R '^(Version|ExtensionFolderRules|HelpWindow|AboutBox)\.' --output-on-failure >&2 ||
  fail "the build tree's folder tests fail with the package installed"

# QGIS in a login environment (/etc/profile.d), fresh profile, only its language chosen:
# the plugin comes from QGIS's own plugin folder and is switched on by the package's hook.
qhome=$work/qgis-home
mkdir -p "$qhome/qgis/profiles/default/QGIS"
printf '[locale]\nuserLocale=fr\noverrideFlag=true\n' >"$qhome/qgis/profiles/default/QGIS/QGIS3.ini"
chown -R 65534:65534 "$qhome"
login=("${nobody[@]}" env -i PATH=/usr/bin:/bin HOME="$qhome" LANG=C.UTF-8 XDG_RUNTIME_DIR="$qhome" bash -lc 'exec "$@"' login)
cat >"$work/menus.py" <<PY
from qgis.PyQt.QtCore import QTimer
from qgis.PyQt.QtWidgets import QAction, QApplication, QTextBrowser
from qgis.utils import iface

bar = iface.mainWindow().menuBar()
menus = [a.menu() for a in bar.actions() if a.menu() and a.menu().objectName() == "Halvo"]
entries = [a.text() for a in menus[0].actions() if not a.isSeparator()] if menus else []
with open("$qhome/menus.txt", "w") as f:
    f.write((menus[0].title().replace("&", "") if menus else "") + "\n--\n" + "\n".join(entries) + "\n")


def help_shown():
    pages = [b.source().toLocalFile() for w in QApplication.topLevelWidgets() if w.isVisible()
             for b in w.findChildren(QTextBrowser, "brwHelpPage")]
    shown = [w.text() for w in QApplication.topLevelWidgets() if w.isVisible() and hasattr(w, "text")]
    with open("$qhome/help.txt", "w") as f:
        f.write("\n".join(pages + shown) + "\n")
    iface.actionExit().trigger()


helps = iface.mainWindow().findChildren(QAction, "HALVO_EXT.clsCommands.5")
if helps:
    helps[0].trigger()
QTimer.singleShot(2000, help_shown)
PY
chmod 644 "$work/menus.py"
"${login[@]}" timeout 180 xvfb-run -a -s '-screen 0 1280x800x24' \
  qgis --profiles-path "$qhome/qgis" --nologo --noversioncheck --code "$work/menus.py" >"$work/qgis.log" 2>&1 || true
[ -f "$qhome/menus.txt" ] || { tail -20 "$work/qgis.log" >&2; fail "QGIS did not come up"; }
grep -qx "Outils de surface imperméable" "$qhome/menus.txt" || {
  cat "$qhome/menus.txt" >&2; tail -20 "$work/qgis.log" >&2; fail "QGIS shows no French Halvo menu"; }
grep -q "Halvo: plugin loaded from $qhome/.local/share/halvo" "$work/qgis.log" ||
  fail "the plugin did not use the per-user folder: $(grep Halvo "$work/qgis.log")"
grep -qx /usr/share/halvo/help/is_index.html "$qhome/help.txt" || {
  cat "$qhome/help.txt" >&2; fail "Help did not open the installed help pages"; }
if [ "$mode" = overlay ]; then
  [ -f "$qhome/site-hook-ran" ] || fail "the site's own startup.py did not run beside the package's"
fi
echo "check-package: QGIS with a fresh French profile shows $(head -1 "$qhome/menus.txt"): $(sed -n '/^--$/,$p' "$qhome/menus.txt" | tail -n +2 | paste -sd '|'); help from /usr/share/halvo/help" >&2

# qgis_process loads no C++ plugins: the package's Processing package brings the algorithms.
phome=$work/process-home
mkdir -p "$phome"
chown 65534:65534 "$phome"
listed=$("${nobody[@]}" env -i PATH=/usr/bin:/bin HOME="$phome" LANG=C.UTF-8 XDG_RUNTIME_DIR="$phome" \
  QT_QPA_PLATFORM=offscreen bash -lc 'exec timeout 180 qgis_process.bin list' 2>"$work/process.log") || true
grep -q 'halvo:imperviousbyzone' <<<"$listed" || { tail -20 "$work/process.log" >&2; fail "qgis_process.bin list shows no halvo: algorithms"; }
echo "check-package: qgis_process.bin lists $(grep -c 'halvo:' <<<"$listed") halvo: algorithms" >&2

if [ "$mode" = overlay ]; then
  dpkg --purge halvo >&2
  [ ! -e /usr/lib/qgis/plugins/halvo_ext.so ] || fail "dpkg --purge left the plugin behind"
  [ -f /usr/share/QGIS/QGIS3/startup.py ] || fail "dpkg --purge took the site's startup.py"
fi
echo "check-package: ok" >&2
