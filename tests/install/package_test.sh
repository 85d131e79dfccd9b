#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a clean folder and checks what a user would get:
# the files in their standard places, the dependencies, valid metadata, and a program that starts.
set -euo pipefail
build_dir="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cd "$build_dir"
cpack -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/pkg/*.deb)
dpkg-deb -x "$deb" "$work/root"

fail=0
for f in usr/bin/rotavox \
         usr/share/applications/org.rotavox.Rotavox.desktop \
         usr/share/icons/hicolor/scalable/apps/org.rotavox.Rotavox.svg \
         usr/share/metainfo/org.rotavox.Rotavox.metainfo.xml; do
  [ -e "$work/root/$f" ] || { echo "missing in package: $f"; fail=1; }
done

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libasound2 libjack; do
  grep -q "$lib" <<<"$depends" || { echo "dependency missing: $lib"; fail=1; }
done

grep -q '^Categories=.*Audio;.*Midi;' "$work/root/usr/share/applications/org.rotavox.Rotavox.desktop" \
  || { echo "desktop entry lacks Audio;Midi"; fail=1; }
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.rotavox.Rotavox.metainfo.xml" || fail=1

# The unpacked program starts and keeps running until it is stopped.
set +e
QT_QPA_PLATFORM=offscreen timeout 3 "$work/root/usr/bin/rotavox" >"$work/run.log" 2>&1
code=$?
set -e
if [ "$code" -ne 124 ]; then
  echo "the unpacked program ended by itself with code $code:"; cat "$work/run.log"; fail=1
fi
[ "$fail" -eq 0 ] && echo "package ok: $(basename "$deb")"
exit "$fail"
