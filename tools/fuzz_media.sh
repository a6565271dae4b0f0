#!/usr/bin/env bash
# tools/fuzz_media.sh FOLDER — tiny audio files of every format the decoder reads, as
# seeds for decoder_fuzz. Each file's first byte picks the name the target gives it.
set -euo pipefail
out=${1:?usage: tools/fuzz_media.sh FOLDER}
seed() { # INDEX EXTENSION ffmpeg-args...
    local index=$1 extension=$2
    shift 2
    local file
    file=$(mktemp --suffix=".$extension")
    ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=0.1" \
        "$@" "$file"
    { printf "\\$(printf %03o "$index")"; cat "$file"; } >"$out/seed-$extension"
    rm -f "$file"
}
seed 0 wav
seed 1 mp3 -c:a libmp3lame
seed 2 ogg -c:a libvorbis
seed 3 flac
seed 4 opus -c:a libopus -ar 48000
seed 5 m4a -c:a aac
seed 6 wma -c:a wmav2
seed 7 rm -c:a real_144
seed 9 wv -c:a wavpack
