#!/usr/bin/env bash
# Checks pz4 as a user gets it, from a Release build BUILD (with its tests, for
# the planted fixture): the desktop entry and AppStream description pass their
# validators without a word; a staged install under a relocated prefix, started
# from a folder holding a sample and a planted pz*.so, finds its own plug-ins,
# lists the sample's frames and never loads the planted library; a portable copy
# started in its own folder finds the plug-ins beside it; the Debian package,
# unpacked into a folder of its own (never installed here), does the same.
# Usage: tools/check-install.sh BUILD
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "$1" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

said=$(desktop-file-validate data/pz4.desktop 2>&1) || fail "desktop entry: $said"
[ -z "$said" ] || fail "desktop entry: $said"
appstreamcli validate --no-net --strict data/*.metainfo.xml >/dev/null ||
    appstreamcli validate --no-net --strict data/*.metainfo.xml

# Starts $2 in folder $1 with the file $3 on its command line, no display and a
# home of its own; what it showed goes to $root/report.
start() {
    rm -f "$root/report"
    (cd "$1" && env -u PZ4_PLUGIN_PATH -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$root/home" \
        QT_QPA_PLATFORM=offscreen PZ4_SMOKE_REPORT="$root/report" "$2" "$3" >/dev/null 2>&1) ||
        fail "$2 did not start"
    [ -f "$root/report" ] || fail "$2 wrote no report"
}
# The report of a start that found pzgif in $1 and listed walk.gif's 8 frames.
expect() {
    grep -qx "plug-in: $1/pzgif.so gif" "$root/report" || fail "pzgif not from $1: $(cat "$root/report")"
    grep -qx "frames listed: 8" "$root/report" || fail "walk.gif not listed: $(cat "$root/report")"
    ! grep -q pzplanted "$root/report" || fail "the planted library was scanned"
    [ ! -e "$root/downloads/PLANTED-LIBRARY-RAN" ] || fail "the planted library ran"
}

mkdir -p "$root/downloads" "$root/home"
cp "$build/samples/walk.gif" "$build/fixtures/pzplanted.so" "$root/downloads/"

DESTDIR="$root/stage" cmake --install "$build" --prefix /opt/pz4 >/dev/null
start "$root/downloads" "$root/stage/opt/pz4/bin/pz4" walk.gif
expect "$root/stage/opt/pz4/lib/pz4/plugins"
[ -f "$root/home/.config/pz4/pz.ini" ] || fail "no settings in ~/.config/pz4"
(cd "$root/downloads" && HOME="$root/home" "$root/stage/opt/pz4/bin/pzconv" list) | grep -q pzgif ||
    fail "pzconv finds no plug-ins"

mkdir "$root/portable"
cp "$root/stage/opt/pz4/bin/pz4" "$root"/stage/opt/pz4/lib/pz4/plugins/*.so "$root/portable/"
start "$root/portable" "$root/portable/pz4" "$root/downloads/walk.gif"
expect "$root/portable"

(cd "$build" && cpack -G DEB -B "$root/package" >/dev/null) || fail "cpack could not make the package"
deb=$(ls "$root"/package/pz4_*.deb)
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "no Qt in the package's dependencies"
dpkg-deb -x "$deb" "$root/unpacked"
start "$root/downloads" "$root/unpacked/usr/bin/pz4" walk.gif
expect "$root/unpacked/usr/lib/pz4/plugins"
echo "check-install: the installed, the portable and the packaged pz4 start and find their plug-ins"
