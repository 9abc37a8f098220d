#!/usr/bin/env bash
# The Debian package as a user gets it: `cpack -G DEB` from the built tree, unpacked into a
# fresh root and checked file by file; the unpacked program answers --help and probes a clip
# from its own program directory; the desktop entry and the AppStream file validate. Where
# this runs as root in CI (CI=true), the package is also installed with dpkg -i, run from /usr/bin, and
# removed again.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
trap 'echo "package test: command failed at line $LINENO: $BASH_COMMAND" >&2' ERR
build="$1"
if ! command -v dpkg-deb >/dev/null; then
  echo "SKIP: dpkg-deb is not installed, so no Debian package can be built or checked"
  exit 77
fi
work=$(mktemp -d)
installed=0
cleanup() {
  if [ "$installed" = 1 ]; then dpkg -r kavello >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[ -n "$version" ] || fail "no package version in CPackConfig.cmake"
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) \
  || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb="$work/out/kavello_${version}_amd64.deb"
[ -f "$deb" ] || { ls "$work/out" >&2; fail "no kavello_${version}_amd64.deb"; }

# Control data: dependencies computed from the binaries name the libraries we link.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libavcodec libavformat libqt6widgets6 libpulse0 libjpeg qt6-qpa-plugins; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
for f in opt/kavello/kavello opt/kavello/kavello-probe opt/kavello/kavello-graph opt/kavello/kavello-subconv \
         opt/kavello/Containers opt/kavello/Decoders opt/kavello/Components/Options.so \
         usr/share/applications/kavello.desktop usr/share/metainfo/io.github.kavello.Kavello.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/kavello.svg usr/share/icons/hicolor/48x48/apps/kavello.png \
         usr/share/icons/hicolor/256x256/apps/kavello.png \
         usr/share/man/man1/kavello.1 usr/share/man/man1/kavello-probe.1; do
  [ -e "$root/$f" ] || fail "package lacks /$f"
done
[ "$(readlink "$root/usr/bin/kavello")" = /opt/kavello/kavello ] || fail "/usr/bin/kavello is not a link to /opt/kavello/kavello"
if find "$root" -name '*.a' | grep -q .; then fail "static libraries in the package"; fi
grep -q '^Exec=kavello %f$' "$root/usr/share/applications/kavello.desktop" || fail "desktop entry Exec line"

desktop-file-validate "$root/usr/share/applications/kavello.desktop" || fail "desktop entry does not validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.kavello.Kavello.metainfo.xml" >"$work/as.log" 2>&1 \
  || { cat "$work/as.log" >&2; fail "metainfo does not validate"; }
man -l --warnings "$root/usr/share/man/man1/kavello.1" >/dev/null 2>"$work/man.log" || true
[ ! -s "$work/man.log" ] || { cat "$work/man.log" >&2; fail "man page warnings"; }

# The unpacked program runs from its own directory.
"$root/opt/kavello/kavello" --help | grep -q -- '--quit-at-end' || fail "kavello --help"
ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=320x240:rate=25" -f lavfi -i "sine=frequency=440" -t 1 \
  -c:v mpeg4 -c:a mp2 "$work/clip.avi"
export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" HOME="$work"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$root/opt/kavello/kavello-probe" "$work/clip.avi" >"$work/probe.txt" 2>&1 || { cat "$work/probe.txt" >&2; fail "kavello-probe on a clip"; }
grep -q '320' "$work/probe.txt" || { cat "$work/probe.txt" >&2; fail "kavello-probe did not report the picture size"; }

# Installed for real where we may (root, dpkg free, not installed already by someone else).
if [ "${CI:-}" = true ] && [ "$(id -u)" = 0 ] && ! dpkg-query -W kavello >/dev/null 2>&1; then
  if dpkg -i "$deb" >"$work/dpkg.log" 2>&1; then
    installed=1
    /usr/bin/kavello --help | grep -q -- '/log' || fail "installed /usr/bin/kavello --help"
    /usr/bin/kavello-probe "$work/clip.avi" >/dev/null 2>&1 || fail "installed kavello-probe"
    [ -f /usr/share/applications/kavello.desktop ] || fail "installed desktop entry"
    dpkg -r kavello >/dev/null 2>&1 && installed=0
    [ ! -e /opt/kavello/kavello ] || fail "dpkg -r left the program behind"
  else
    cat "$work/dpkg.log" >&2
    fail "dpkg -i failed"
  fi
fi
echo "package: ok ($(basename "$deb"), $(du -k "$deb" | cut -f1) KiB)"
