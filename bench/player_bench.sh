#!/usr/bin/env bash
# VelunePlayer beside mpv (--no-video) on the same file in the same run: start-up
# time, and CPU and memory while playing; then both on the same local 128 kbit/s MP3
# stream (tests/stream_server.py, with ICY titles), CPU and memory while playing; a stream row
# fails, with why, when the player does not say "Playing" over MPRIS or nothing is heard. Run by
# hand, on a session bus of its own; needs xvfb, xdotool and mpv (installed here when missing).
# usage: bench/player_bench.sh [runs=3] [seconds=20]
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh
velune_install "${VELUNE_PACKAGES[@]}" xvfb xdotool mpv ffmpeg pulseaudio pulseaudio-utils bc dbus
[ -n "${VELUNE_BENCH_BUS:-}" ] || VELUNE_BENCH_BUS=1 exec dbus-run-session -- bench/player_bench.sh "$@"
velune_start_sound
# The players' lock and bus name are the bench's own: a player of the user's that runs
# meanwhile is not handed the files.
export PULSE_SERVER="${PULSE_SERVER:-unix:$XDG_RUNTIME_DIR/pulse/native}"
export XDG_RUNTIME_DIR
XDG_RUNTIME_DIR=$(mktemp -d)
cmake -S . -B build -G Ninja >/dev/null && cmake --build build --target VelunePlayer >/dev/null

runs=${1:-3}
seconds=${2:-20}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait; rm -rf "$work" "$XDG_RUNTIME_DIR"' EXIT
ffmpeg -nostdin -loglevel error -f lavfi -i "sine=frequency=440:duration=60" -ac 2 -b:a 192k "$work/song.mp3"
export XDG_CONFIG_HOME="$work/config" # nothing remembered from another run

export DISPLAY=:77
Xvfb "$DISPLAY" -screen 0 1280x800x24 >/dev/null 2>&1 &
sleep 1

now() { date +%s%N; }
rss_mb() { awk '/VmRSS/ {printf "%.1f", $2 / 1024}' "/proc/$1/status"; }
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# CPU of a process over `seconds`, in percent of one core.
cpu() {
    local before after
    before=$(ticks "$1"); sleep "$seconds"; after=$(ticks "$1")
    echo "($after - $before) * 100 / $(getconf CLK_TCK) / $seconds" | bc -l
}
# What the player says it does over MPRIS: Playing, Paused, Stopped, or nothing.
status() {
    dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.VelunePlayer \
        /org/mpris/MediaPlayer2 org.freedesktop.DBus.Properties.Get \
        string:org.mpris.MediaPlayer2.Player string:PlaybackStatus 2>/dev/null |
        sed -n 's/.*string "\(.*\)".*/\1/p' || true
}
# Whether the sound server's output holds more than silence over two seconds.
heard() {
    local bytes
    bytes=$( (timeout 2 parec -d @DEFAULT_MONITOR@ --raw --format=s16le --channels=1 --rate=8000 \
        --latency-msec=20 2>/dev/null || true) | tr -d '\0' | wc -c)
    [ "$bytes" -gt 1000 ]
}

printf "%-4s %10s %10s %9s %9s %7s %10s %10s %7s\n" run "velune ms" "mpv ms" "velune %" "mpv %" \
    "CPU x" "velune MB" "mpv MB" "RSS x"
for run in $(seq "$runs"); do
    # Velune: from start to its window on screen, playing the file it was given.
    t0=$(now)
    build/bin/VelunePlayer "$work/song.mp3" >/dev/null 2>&1 &
    velune=$!
    until xdotool search --onlyvisible --name "Velune Player" >/dev/null 2>&1; do sleep 0.01; done
    t1=$(now)
    sleep 2
    velune_cpu=$(cpu "$velune")
    velune_mb=$(rss_mb "$velune")
    kill "$velune"; wait "$velune" 2>/dev/null || true

    # mpv: from start to the moment it reports playing.
    t2=$(now)
    coproc MPV { exec mpv --no-video --term-playing-msg=READY "$work/song.mp3" 2>&1; }
    mpv=$MPV_PID
    while read -r line <&"${MPV[0]}"; do [ "$line" = READY ] && break; done
    t3=$(now)
    sleep 2
    mpv_cpu=$(cpu "$mpv")
    mpv_mb=$(rss_mb "$mpv")
    kill "$mpv"; wait "$mpv" 2>/dev/null || true

    printf "%-4s %10d %10d %9.2f %9.2f %7.2f %10s %10s %7.2f\n" "$run" $(( (t1 - t0) / 1000000 )) \
        $(( (t3 - t2) / 1000000 )) "$velune_cpu" "$mpv_cpu" "$(echo "$velune_cpu / $mpv_cpu" | bc -l)" \
        "$velune_mb" "$mpv_mb" "$(echo "$velune_mb / $mpv_mb" | bc -l)"
done

# The stream: a station of the tests' own on this machine, the same address for both.
coproc STATION { exec python3 tests/stream_server.py "$work"; }
read -r port <&"${STATION[0]}"
stream="http://127.0.0.1:$port/tone.mp3"
printf "\nstream %s\n%-4s %9s %9s %7s %10s %10s %7s\n" "$stream" run "velune %" "mpv %" "CPU x" \
    "velune MB" "mpv MB" "RSS x"
for run in $(seq "$runs"); do
    build/bin/VelunePlayer "$stream" >/dev/null 2>&1 &
    velune=$!
    sleep 3
    said=$(status)
    if ! kill -0 "$velune" 2>/dev/null; then
        echo "stream run $run: VelunePlayer ended instead of playing $stream" >&2
        exit 1
    fi
    if [ "$said" != Playing ] || ! heard; then
        echo "stream run $run: VelunePlayer does not play $stream: MPRIS says '${said:-nothing}'$(
            [ "$said" != Playing ] || echo ', and nothing is heard')" >&2
        exit 1
    fi
    velune_cpu=$(cpu "$velune")
    velune_mb=$(rss_mb "$velune")
    kill "$velune"; wait "$velune" 2>/dev/null || true
    mpv --no-video --really-quiet "$stream" >/dev/null 2>&1 &
    mpv=$!
    sleep 3
    mpv_cpu=$(cpu "$mpv")
    mpv_mb=$(rss_mb "$mpv")
    kill "$mpv"; wait "$mpv" 2>/dev/null || true
    printf "%-4s %9.2f %9.2f %7.2f %10s %10s %7.2f\n" "$run" "$velune_cpu" "$mpv_cpu" \
        "$(echo "$velune_cpu / $mpv_cpu" | bc -l)" "$velune_mb" "$mpv_mb" \
        "$(echo "$velune_mb / $mpv_mb" | bc -l)"
done
