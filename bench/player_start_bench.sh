#!/usr/bin/env bash
# VelunePlayer started with a remembered library of 10 000 tagged rows (folders with covers)
# and a tone on its command line, its sound recorded from a null sink's monitor: prints when
# the bus first says "Playing", when the tone is first heard, the longest silence within it
# while tags and covers load, and the resident memory (anonymous and file-backed) at the end.
# usage: bench/player_start_bench.sh [runs=3] [cached=1]   (cached=0: no tag cache, every
# file's tags are read again meanwhile)
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
velune_install "${VELUNE_PACKAGES[@]}" xvfb ffmpeg pulseaudio dbus python3
velune_start_sound
cmake -S . -B build -G Ninja >/dev/null && cmake --build build --target VelunePlayer >/dev/null
player=$PWD/build/bin/VelunePlayer
runs=${1:-3}
cached=${2:-1}
work=$(mktemp -d)
module=$(pactl load-module module-null-sink sink_name=velune_start_bench rate=44100)
trap 'kill $(jobs -p) 2>/dev/null || true; pactl unload-module "$module"; rm -rf "$work"' EXIT
export DISPLAY=:79 PULSE_SINK=velune_start_bench
Xvfb "$DISPLAY" -screen 0 1280x800x24 >/dev/null 2>&1 &

cd "$work"
ffmpeg -nostdin -v error -f lavfi -i sine=duration=0.2 -metadata title=Song -metadata artist=Ana \
    -metadata album=Days tone.flac
ffmpeg -nostdin -v error -f lavfi -i color=c=red:s=300x300 -frames:v 1 cover.jpg
ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:duration=8" -ac 2 heard.wav
for a in $(seq 0 99); do
    for b in $(seq 0 9); do
        mkdir -p "lib/$a/$b" && cp cover.jpg "lib/$a/$b/"
        for t in $(seq 1 10); do cp tone.flac "lib/$a/$b/$t Song.flac"; done
    done
done
# A first run remembers the library and keeps its tags.
XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache "$player" "$work/lib" >/dev/null 2>&1 &
first=$!
until [ -s cache/Velune/tags.cache ] 2>/dev/null; do sleep 5; kill -TERM "$first" 2>/dev/null || break; done
wait "$first" || true

# Inside a private session bus: the player and a monitor of its signals, stamped.
cat >run.sh <<'RUN'
dbus-monitor --session "type='signal',interface='org.freedesktop.DBus.Properties'" >bus.log 2>&1 &
sleep 0.3
date +%s.%N >started
XDG_CONFIG_HOME=$PWD/again XDG_CACHE_HOME=$PWD/again-cache "$1" "$PWD/heard.wav" >/dev/null 2>&1 &
sleep 12
awk '/VmRSS|RssAnon|RssFile/ {printf "%s %.1f MB  ", $1, $2 / 1024}' /proc/$!/status >rss
kill $! && wait $!
RUN
for run in $(seq "$runs"); do
    rm -rf again again-cache && cp -r config again && cp -r cache again-cache
    [ "$cached" = 1 ] || rm -f again-cache/Velune/tags.cache
    parec -d velune_start_bench.monitor --format=s16le --rate=44100 --channels=1 --raw >rec.raw &
    recorder=$!
    sleep 0.5
    date +%s.%N >recording
    dbus-run-session -- bash run.sh "$player" 2>/dev/null
    kill "$recorder"
    python3 - "$run" <<'PY'
import array, re, sys
rate = 44100
recording, started = float(open("recording").read()), float(open("started").read())
pcm = array.array("h", open("rec.raw", "rb").read())
on = [i for i, x in enumerate(pcm) if abs(x) > 1]
playing = None
for m in re.finditer(r"signal time=([0-9.]+)[^\n]*\n((?:   [^\n]*\n)*)", open("bus.log").read()):
    if '"Playing"' in m.group(2):
        playing = float(m.group(1)) - started
        break
heard = (on[0] / rate + recording - started) if on else None
gap = max((b - a for a, b in zip(on, on[1:])), default=0) / rate
print(f"run {sys.argv[1]}: Playing at {playing if playing is None else round(playing, 2)} s, "
      f"heard at {heard if heard is None else round(heard, 2)} s, "
      f"{(on[-1] - on[0]) / rate if on else 0:.2f} s of 8 heard, longest silence {gap * 1000:.0f} ms; "
      + open("rss").read())
PY
done
