#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary folder (dpkg-deb -x) and runs the
# unpacked velmoor-cli: --version, and status on the simulated unit.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${BUILD_DIR:-build}
scripts/build.sh
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls -t "$dir"/velmoor-terminal_*.deb | head -1)
echo "package: $deb"
dpkg-deb -I "$deb" | grep -E "^ (Package|Version|Depends):"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/root"
for f in usr/bin/velmoor-terminal usr/bin/velmoor-cli usr/share/applications/velmoor-terminal.desktop \
         usr/share/icons/hicolor/scalable/apps/velmoor-terminal.svg usr/share/man/man1/velmoor-cli.1; do
  [ -e "$tmp/root/$f" ] || { echo "missing from the package: $f"; exit 1; }
done
"$tmp/root/usr/bin/velmoor-cli" --version
"$tmp/root/usr/bin/velmoor-cli" --root "$tmp/data" --simulate status >"$tmp/status.txt"
head -3 "$tmp/status.txt"
echo "package check passed"
