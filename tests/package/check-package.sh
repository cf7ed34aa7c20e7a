#!/usr/bin/env bash
# Builds the Debian package from a finished build tree and checks it: the files a
# desktop user needs are in it, its dependencies are declared, and the program it
# installs answers --version without a display.
# Usage: check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/quormail_*.deb)
echo "package: $(basename "$deb")"

contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/quormail ./usr/share/applications/quormail.desktop \
         ./usr/share/icons/hicolor/scalable/apps/quormail.svg ./usr/share/quormail/schema.sql \
         ./usr/lib/systemd/user/quormail-daily.service ./usr/lib/systemd/user/quormail-daily.timer; do
  grep -q " $f\$" <<<"$contents" || { echo "missing from the package: $f"; exit 1; }
done
# Nothing of the build tree (databases, tests) is shipped.
if grep -qE '\.GDB$|tests_|/build/' <<<"$contents"; then echo "build files in the package"; exit 1; fi

depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
for d in libfbclient2 firebird3.0-server-core libqt6widgets6 qt6-qpa-plugins libssl3; do
  grep -q "$d" <<<"$depends" || { echo "undeclared dependency: $d"; exit 1; }
done

dpkg-deb -x "$deb" "$work/root"
grep -q '^Exec=quormail$' "$work/root/usr/share/applications/quormail.desktop"
version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$work/root/usr/bin/quormail" --version)
echo "version: $version"
[[ "$version" == "QuorMail "* ]] || { echo "unexpected version line"; exit 1; }
