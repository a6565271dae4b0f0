#!/usr/bin/env bash
# Start-up time and memory in use while playing: VelunePlayer beside mpv (--no-video),
# measured in the same run on the same file. Run by hand; needs xvfb, xdotool and mpv
# (installed here when missing). usage: bench/player_bench.sh [runs=3]
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
velune_install "${VELUNE_PACKAGES[@]}" xvfb xdotool mpv ffmpeg pulseaudio
velune_start_sound
cmake -S . -B build -G Ninja >/dev/null && cmake --build build --target VelunePlayer >/dev/null

runs=${1:-3}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
ffmpeg -nostdin -loglevel error -f lavfi -i "sine=frequency=440:duration=60" -ac 2 -b:a 192k "$work/song.mp3"

export DISPLAY=:77
Xvfb "$DISPLAY" -screen 0 1280x800x24 >/dev/null 2>&1 &
sleep 1

now() { date +%s%N; }
rss_mb() { awk '/VmRSS/ {printf "%.1f", $2 / 1024}' "/proc/$1/status"; }

printf "%-4s %14s %14s %10s %10s %8s %8s\n" run "velune ms" "mpv ms" "velune MB" "mpv MB" "t ratio" "m ratio"
for run in $(seq "$runs"); do
    # Velune: from start to its window on screen; then add the file through the face and play it.
    t0=$(now)
    build/bin/VelunePlayer >/dev/null 2>&1 &
    velune=$!
    window=""
    until window=$(xdotool search --onlyvisible --name "Velune Player" 2>/dev/null | head -1) && [ -n "$window" ]; do
        sleep 0.01
    done
    t1=$(now)
    xdotool windowmove "$window" 0 0; sleep 0.5
    xdotool mousemove 267 13 click 1; sleep 0.5          # show the list
    xdotool mousemove 48 332 click 1; sleep 1.5          # Add
    xdotool type --delay 10 "$work/song.mp3"; xdotool key Return; sleep 1
    xdotool mousemove 65 129 click 1; sleep 3            # Play
    velune_mb=$(rss_mb "$velune")
    kill "$velune"; wait "$velune" 2>/dev/null || true

    # mpv: from start to the moment it reports playing.
    t2=$(now)
    coproc MPV { exec mpv --no-video --term-playing-msg=READY "$work/song.mp3" 2>&1; }
    mpv=$MPV_PID
    while read -r line <&"${MPV[0]}"; do [ "$line" = READY ] && break; done
    t3=$(now)
    sleep 3
    mpv_mb=$(rss_mb "$mpv")
    kill "$mpv"; wait "$mpv" 2>/dev/null || true

    vms=$(( (t1 - t0) / 1000000 )); mms=$(( (t3 - t2) / 1000000 ))
    printf "%-4s %14d %14d %10s %10s %8.2f %8.2f\n" "$run" "$vms" "$mms" "$velune_mb" "$mpv_mb" \
        "$(echo "$vms / $mms" | bc -l)" "$(echo "$velune_mb / $mpv_mb" | bc -l)"
done
