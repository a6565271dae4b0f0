#!/usr/bin/env bash
# ./run.sh converter | player — installs what is missing, builds, starts the program.
set -euo pipefail
cd "$(dirname "$0")"
case "${1:-}" in
    converter) program=VeluneConverter ;;
    player) program=VelunePlayer ;;
    *) echo "usage: ./run.sh converter|player" >&2; exit 2 ;;
esac
source tools/setup.sh
velune_install "${VELUNE_PACKAGES[@]}"
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELUNE_TESTS=OFF >/dev/null
cmake --build build-run -j "$(nproc)"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "There is no display to show $program on: start it from a desktop session" >&2
    echo "(DISPLAY or WAYLAND_DISPLAY must be set). It was built in build-run/bin/$program." >&2
    exit 1
fi
exec "build-run/bin/$program"
