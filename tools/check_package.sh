#!/usr/bin/env bash
# tools/check_package.sh BUILD_DIR — makes the Debian package from a build folder and
# checks it: its file list, the programs run from a staged root (dpkg -x), and lintian.
# Used by ./package.sh and ./test.sh.
set -euo pipefail
build=${1:?usage: tools/check_package.sh BUILD_DIR}
if ! command -v dpkg-deb >/dev/null || ! command -v scdoc >/dev/null; then
    echo "Skipped: dpkg-deb or scdoc is missing, so no package is made here."
    exit 0
fi
rm -f "$build"/velune_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/velune_*.deb)

echo "== The package's files"
files=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's#^\./#/#')
for wanted in /usr/bin/VeluneConverter /usr/bin/VelunePlayer \
    /usr/lib/velune/VeluneConverter /usr/lib/velune/VelunePlayer /usr/lib/velune/velune-dialog \
    /usr/lib/velune/VeluneC.qml /usr/lib/velune/ConverterOptions.qml /usr/lib/velune/VeluneC1.qml \
    /usr/lib/velune/player.qml \
    /usr/lib/velune/facelist.js /usr/lib/velune/VeluneC.html \
    /usr/share/applications/velune-player.desktop /usr/share/applications/velune-converter.desktop \
    /usr/share/icons/hicolor/scalable/apps/velune-player.svg \
    /usr/share/icons/hicolor/scalable/apps/velune-converter.svg \
    /usr/share/metainfo/org.velune.VelunePlayer.metainfo.xml \
    /usr/share/metainfo/org.velune.VeluneConverter.metainfo.xml \
    /usr/share/man/man1/VeluneConverter.1.gz /usr/share/man/man1/VelunePlayer.1.gz \
    /usr/share/doc/velune/copyright /usr/share/doc/velune/changelog.Debian.gz; do
    grep -qx -- "$wanted" <<<"$files" || { echo "missing from the package: $wanted"; exit 1; }
done
dpkg-deb -f "$deb" Package Version Section Depends Installed-Size

echo "== The programs from a staged root"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
"$root/usr/bin/VeluneConverter" --version
ffmpeg -nostdin -v error -f lavfi -i "sine=duration=1" "$root/tone.wav"
"$root/usr/bin/VeluneConverter" --to mp3 --out "$root" "$root/tone.wav"
test -s "$root/tone.mp3"
# The player, offscreen, plays a file: it is on the desktop's bus once its face is up.
export XDG_CONFIG_HOME="$root/config"
dbus-run-session -- bash -c '
    QT_QPA_PLATFORM=offscreen "$1/usr/bin/VelunePlayer" "$1/tone.wav" & player=$!
    for _ in $(seq 100); do
        status=$(dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.VelunePlayer \
            /org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.Get \
            string:org.mpris.MediaPlayer2.Player string:PlaybackStatus 2>/dev/null |
            grep -o "\"[A-Za-z]*\"" || true)
        [ -n "$status" ] && break
        sleep 0.1
    done
    kill -TERM $player; wait $player
    echo "the staged player answered: $status"
    [ -n "$status" ]' _ "$root"

echo "== lintian"
lintian --fail-on error --display-level ">=warning" "$deb"
echo "$deb: $(du -k "$deb" | cut -f1) kB"
