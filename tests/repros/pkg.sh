#!/usr/bin/env bash
# What the package and the install script put in place, staged with `cmake --install`.
# The installed package itself is tools/check-package.sh's (it needs root).
source "$(dirname "$0")/lib.sh"
stage=$SCRATCH/stage
DESTDIR=$stage cmake --install "$HALVO_BUILD" >/dev/null
has() { for f; do [ -s "$stage$f" ] || { echo "not installed: $f" >&2; return 1; }; done; }

# D6: translations, icon, the Processing package for qgis_process and the hook that switches
# them on, which leaves the site's own startup.py alone.
check "D6 files" has /usr/share/halvo/i18n/halvo_fr.qm /usr/share/halvo/halvo.svg \
  /usr/share/qgis/python/plugins/halvo_processing/{__init__.py,metadata.txt,icon.svg} \
  /usr/share/halvo/qgis/QGIS/QGIS3/startup.py /etc/profile.d/halvo.sh
check "D6 no site startup.py" test ! -e "$stage/usr/share/QGIS"
check "D6 hook folder in XDG_DATA_DIRS" test "$(env -i sh -c ". $stage/etc/profile.d/halvo.sh; . $stage/etc/profile.d/halvo.sh; echo \$XDG_DATA_DIRS")" = /usr/local/share:/usr/share:/usr/share/halvo/qgis

# D22: --help is the usage, not the script's first lines of code.
"$HALVO_SOURCE/tools/install-plugin.sh" --help >"$SCRATCH/help.txt"
check "D22 usage" grep -q '^  tools/install-plugin.sh \[--build DIR\]' "$SCRATCH/help.txt"
check "D22 no code" test -z "$(grep -E '^(set |root=)' "$SCRATCH/help.txt")"

# D23: one licence, GPL-2.0-or-later, wherever it is stated.
check "D23 LICENSE" grep -q '^SPDX-License-Identifier: GPL-2.0-or-later$' "$HALVO_SOURCE/LICENSE"
check "D23 copyright" grep -qx 'License: GPL-2+' "$stage/usr/share/doc/halvo/copyright"
check "D23 metadata" grep -qx 'license=GPL-2.0-or-later' "$stage/usr/share/qgis/python/plugins/halvo_processing/metadata.txt"
finish
