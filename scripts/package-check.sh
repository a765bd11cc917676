#!/usr/bin/env bash
# Builds the Debian package, has lintian check it (any error or warning fails), unpacks it into
# a temporary folder (dpkg-deb -x) and runs the unpacked programs: --version of both (the same
# "<program> <version>" line), and velmoor-cli's status on the simulated unit.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build}
VT_WITH_PACKAGE=1 scripts/install-deps.sh
scripts/build.sh
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls -t "$dir"/velmoor-terminal_*.deb | head -1)
echo "package: $deb"
dpkg-deb -I "$deb" | grep -E "^ (Package|Version|Maintainer|Depends):"
# lintian prints one line per finding; --fail-on makes an error or a warning end the check.
lintian --fail-on error,warning "$deb"
echo "lintian: no errors, no warnings"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/root"
for f in usr/bin/velmoor-terminal usr/bin/velmoor-cli usr/share/applications/velmoor-terminal.desktop \
         usr/share/icons/hicolor/scalable/apps/velmoor-terminal.svg usr/share/man/man1/velmoor-terminal.1.gz \
         usr/share/man/man1/velmoor-cli.1.gz usr/share/doc/velmoor-terminal/copyright \
         usr/share/doc/velmoor-terminal/changelog.Debian.gz; do
  [ -e "$tmp/root/$f" ] || { echo "missing from the package: $f"; exit 1; }
done
window=$("$tmp/root/usr/bin/velmoor-terminal" --version)
cli=$("$tmp/root/usr/bin/velmoor-cli" --version)
echo "$window"
echo "$cli"
[ "${window#velmoor-terminal }" = "${cli#velmoor-cli }" ] && [ "$window" != "${window#velmoor-terminal }" ] ||
  { echo "the two programs' --version lines differ in form"; exit 1; }
"$tmp/root/usr/bin/velmoor-cli" --root "$tmp/data" --simulate status >"$tmp/status.txt"
head -3 "$tmp/status.txt"
echo "package check passed"
