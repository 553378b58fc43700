#!/usr/bin/env bash
# Installs the Halvo plugin for one QGIS profile and enables it.
#
#   tools/install-plugin.sh [--build DIR] [--profiles-path DIR] [--profile NAME] [--dest DIR]
#
# --profiles-path is what QGIS takes under that name (the folder holding
# "profiles"; default ~/.local/share/QGIS/QGIS3). Copies halvo_ext.so,
# etc/isprops.xml, help/ and the translations into DEST (default: a "halvo"
# folder inside the profile), adds DEST to the profile's C++ plugin search
# paths and switches the plugin on. The Processing package halvo_processing
# goes into the profile's python/plugins and is switched on too: through it
# qgis_process, which loads no C++ plugins, finds the algorithms. Run it again
# after a rebuild; an existing etc/isprops.xml (edited coefficient sets) is kept.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

build=${HALVO_BUILD_DIR:-$root/build}
base=${XDG_DATA_HOME:-$HOME/.local/share}/QGIS/QGIS3
profile=default
dest=
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --profiles-path) base=$2; shift 2 ;;
    --profile) profile=$2; shift 2 ;;
    --dest) dest=$2; shift 2 ;;
    -h|--help) sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "install-plugin: unknown argument $1" >&2; exit 2 ;;
  esac
done
profiles=$base/profiles
dest=${dest:-$profiles/$profile/halvo}

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >&2
fi
cmake --build "$build" --target halvo_ext >&2
lib=$build/ext/halvo_ext.so
[ -f "$lib" ] || { echo "install-plugin: $lib was not built" >&2; exit 1; }

mkdir -p "$dest/etc" "$dest/help" "$dest/temp" "$dest/output"
install -m 0755 "$lib" "$dest/halvo_ext.so"
[ -f "$dest/etc/isprops.xml" ] || install -m 0644 "$root/etc/isprops.xml" "$dest/etc/isprops.xml"
cp -R "$root/help/." "$dest/help/"
if [ -d "$build/ext/i18n" ]; then
  mkdir -p "$dest/i18n"
  cp "$build/ext/i18n/"*.qm "$dest/i18n/"
fi
pkg=$profiles/$profile/python/plugins/halvo_processing
mkdir -p "$pkg"
install -m 0644 "$root/plugin/processing_package/__init__.py" "$root/plugin/processing_package/metadata.txt" \
  "$root/LICENSE" "$pkg/"
install -m 0644 "$root/support/qt/halvo.svg" "$pkg/icon.svg"
install -m 0644 "$root/support/qt/halvo.svg" "$dest/halvo.svg"

# The profile's settings: [plugins] searchPathsForPlugins gains DEST, [Plugins] halvo_ext=true.
ini=$profiles/$profile/QGIS/QGIS3.ini
mkdir -p "$(dirname "$ini")"
touch "$ini"
python3 - "$ini" "$dest" <<'PY'
import sys

ini, dest = sys.argv[1], sys.argv[2]
with open(ini, encoding="utf-8") as f:
    lines = f.read().splitlines()

def set_key(lines, group, key, update):
    """Sets key in [group] to update(old value or None), adding what is missing."""
    start = None
    for i, line in enumerate(lines):
        if line.strip() == "[" + group + "]":
            start = i
            break
    if start is None:
        if lines and lines[-1].strip():
            lines.append("")
        lines += ["[" + group + "]", key + "=" + update(None)]
        return
    end = len(lines)
    for i in range(start + 1, len(lines)):
        if lines[i].startswith("["):
            end = i
            break
    for i in range(start + 1, end):
        name, sep, value = lines[i].partition("=")
        if sep and name.strip() == key:
            lines[i] = key + "=" + update(value.strip())
            return
    at = end
    while at > start + 1 and not lines[at - 1].strip():
        at -= 1
    lines.insert(at, key + "=" + update(None))

def add_path(old):
    paths = [p for p in (old or "").strip('"').split("|") if p]
    if dest not in paths:
        paths.append(dest)
    return "|".join(paths)

set_key(lines, "plugins", "searchPathsForPlugins", add_path)
set_key(lines, "Plugins", "halvo_ext", lambda old: "true")
set_key(lines, "PythonPlugins", "halvo_processing", lambda old: "true")
# A crash while loading leaves a watchdog entry that keeps the plugin off.
lines = [l for l in lines if not l.startswith("watchDog\\halvo_ext=")]
with open(ini, "w", encoding="utf-8") as f:
    f.write("\n".join(lines) + "\n")
PY
echo "Halvo installed in $dest and enabled in $ini" >&2
# QGIS loads its own plugin folder first; a plugin of the same name there wins.
if [ -e /usr/lib/qgis/plugins/halvo_ext.so ]; then
  echo "install-plugin: the halvo package is installed; QGIS loads its plugin, not this one, until it is removed" >&2
fi
