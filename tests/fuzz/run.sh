#!/usr/bin/env bash
# tests/fuzz/run.sh TARGET [SECONDS=60]: a campaign of one target of `targets` below.
# tests/fuzz/run.sh --ci: every target over its corpus, a fixed number of inputs each (./test.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
source tools/setup.sh
velune_install "${VELUNE_PACKAGES[@]}" "${VELUNE_FUZZ_PACKAGES[@]}"
targets=(names_fuzz playlist_fuzz drop_fuzz naming_fuzz batch_fuzz cue_fuzz decoder_fuzz
    player_window_fuzz converter_window_fuzz conversion_window_fuzz)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELUNE_FUZZ=ON -DVELUNE_TESTS=OFF >/dev/null
cmake --build build-fuzz --target fuzz_targets -j "$(nproc)"
bin=build-fuzz/tests/fuzz
corpus=tests/fuzz/corpus
export ASAN_OPTIONS="detect_leaks=0:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen

# The decoder's seeds are tiny files of every format it reads, made here.
media=$(mktemp -d)
trap 'rm -rf "$media"' EXIT
tools/fuzz_media.sh "$media"

corpus_of() {
    if [ "$1" = decoder_fuzz ]; then echo "$media $corpus/$1"; else echo "$corpus/$1"; fi
}

if [ "${1:-}" = --ci ]; then
    for target in "${targets[@]}"; do
        # A few seconds each; the decoder and the windows, which read real files, are slow.
        runs=20000
        [ "$target" = decoder_fuzz ] && runs=3000
        [ "$target" = player_window_fuzz ] && runs=4000
        [ "$target" = converter_window_fuzz ] && runs=6000
        fresh=$(mktemp -d)
        echo "== $target: $runs inputs"
        status=0
        "$bin/$target" -runs="$runs" -timeout=5 -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix="$fresh/" "$fresh" $(corpus_of "$target") >"$fresh/log" 2>&1 || status=$?
        grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb)|property broken|ERROR" \
            "$fresh/log" || true
        if [ "$status" -ne 0 ]; then
            tail -40 "$fresh/log"
            for input in "$fresh"/crash-* "$fresh"/timeout-* "$fresh"/oom-* "$fresh"/leak-*; do
                [ -e "$input" ] && { echo "the input that broke it, $input:"; od -c "$input" | head -20; }
            done
            exit 1
        fi
        rm -rf "$fresh"
    done
    exit 0
fi

target=${1:?usage: tests/fuzz/run.sh TARGET [SECONDS] | --ci}
seconds=${2:-60}
# The corpus grows in build-fuzz/corpus/TARGET; copy a crash to tests/fuzz/corpus as regression-*.
mkdir -p "build-fuzz/corpus/$target" build-fuzz/crashes
"$bin/$target" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix=build-fuzz/crashes/ "build-fuzz/corpus/$target" $(corpus_of "$target")
