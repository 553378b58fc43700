#!/usr/bin/env bash
# Brings the French and German translation files up to date with the sources
# (new texts are added unfinished, vanished ones marked obsolete). Translate the
# new entries with Qt Linguist; the build turns the files into .qm with lrelease.
set -euo pipefail
cd "$(dirname "$0")/.."
lupdate -silent -locations none -I . plugin params/qt support/qt coefficients/qt reports/qt \
  -ts plugin/i18n/halvo_fr.ts plugin/i18n/halvo_de.ts
