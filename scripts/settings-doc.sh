#!/usr/bin/env bash
# Rewrites the settings tables of README.md and the manual page of zembrio-cli from the
# program's table of settings (core/settingstable.cpp). Run it after adding or changing a
# setting; the test SettingsDoc.UpToDate fails until then.
#   scripts/settings-doc.sh [BUILD-FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
cmake -S . -B "$BUILD" >/dev/null
cmake --build "$BUILD" --target zembrio_settingsdoc -j2 >/dev/null
"$BUILD/tests/core/zembrio_settingsdoc" update README.md packaging/zembrio-cli.1.in
