#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh), checks the desktop entry, the AppStream
# metadata and the package with their validators, installs the package with apt, runs the
# installed programs (zembrio-cli --version, a short cut of an MP3 made with lame, the
# window opened off screen) and removes it again with every package its installation pulled
# in, so the machine is left as it was. Needs root (or sudo) for apt.
#   scripts/package-check.sh
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
DEB=$(scripts/package.sh | tail -1)
BUILD=build-package

echo "== Validators"
desktop-file-validate packaging/zembrio.desktop
appstreamcli validate --no-net "$BUILD/packaging/org.zembrio.Zembrio.metainfo.xml"
# Errors fail the check; the warnings are printed for whoever reads the log.
lintian --fail-on error "$DEB"

WORK=$(mktemp -d /tmp/zembrio-package-XXXXXX)
installed_before="$WORK/before"
installed() { dpkg-query -W -f='${db:Status-Abbrev} ${Package}:${Architecture}\n' | awk '$1 == "ii" { print $2 }' | sort; }
installed >"$installed_before"
remove_package() {
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y zembrio >/dev/null 2>&1 || true
  # What the installation pulled in and nothing had before goes too.
  local pulled
  pulled=$(comm -13 "$installed_before" <(installed))
  if [[ -n $pulled ]]; then
    # shellcheck disable=SC2086
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y $pulled >/dev/null
  fi
}
trap 'remove_package; rm -rf "$WORK"' EXIT

echo "== Installing $DEB"
if ! compgen -G "/var/lib/apt/lists/*_Packages*" >/dev/null; then $SUDO apt-get update; fi
# apt reads a local file only through a path with a slash; as root it notes that the
# download sandbox cannot read it, which is harmless for a local file.
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y "./$DEB"

echo "== The installed programs"
[[ $(command -v zembrio-cli) == /usr/bin/zembrio-cli ]]
/usr/bin/zembrio-cli --version
head -c $((44100 * 4 * 6)) /dev/zero |
  lame --quiet -r -s 44.1 --bitwidth 16 -b 128 - "$WORK/short.mp3" 2>/dev/null
(cd "$WORK" && HOME="$WORK" /usr/bin/zembrio-cli cut short.mp3 --point 0=one --point 3s=two \
  --dest parts --overwrite never)
for part in one two; do
  [[ -s $WORK/parts/$part.mp3 ]] || { echo "the cut did not write $part.mp3" >&2; exit 1; }
done
/usr/bin/zembrio-cli stats "$WORK/parts/two.mp3" | grep "Total frames"
# A FLAC image: the package's libFLAC and MD5 make tracks that flac verifies.
sox -q -n -r 44100 -c 2 -b 16 "$WORK/image.wav" synth 6 pinknoise gain -10
flac -s -f -o "$WORK/image.flac" "$WORK/image.wav"
(cd "$WORK" && HOME="$WORK" /usr/bin/zembrio-cli cut image.flac --point 0=one --point 3s=two \
  --dest flac --overwrite never) | grep "MD5 source: vérifié"
flac -t -s "$WORK/flac/one.flac" "$WORK/flac/two.flac"
# The window opens off screen and stays up until it is stopped.
status=0
HOME="$WORK" QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/zembrio || status=$?
[[ $status -eq 124 ]] || { echo "the installed window ended with status $status" >&2; exit 1; }

echo "== Removing the package"
remove_package
[[ ! -e /usr/bin/zembrio-cli && ! -e /usr/bin/zembrio && ! -e /usr/bin/zembrio.ini ]]
cmp -s "$installed_before" <(installed) ||
  { echo "the removal left the installed packages changed" >&2; exit 1; }
echo "The package installs, works and removes cleanly."
