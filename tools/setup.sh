# Shared by run.sh and test.sh: installs what Velune needs from Debian's packages
# and starts a sound server for the tests. Source it; do not run it.

VELUNE_PACKAGES=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-declarative-dev
    qml6-module-qtqml qml6-module-qtquick qml6-module-qtquick-window qml6-module-qtqml-models
    qml6-module-qtqml-workerscript
    libpulse-dev libmp3lame-dev libebur128-dev
    libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libvorbis-dev libtag1-dev
    fonts-dejavu-core
)
VELUNE_TEST_PACKAGES=(libgtest-dev libgmock-dev pulseaudio pulseaudio-utils dbus ffmpeg vorbis-tools lame
    flac mpg123 gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    gstreamer1.0-libav loudgain
    clang-tidy qt6-declarative-dev-tools desktop-file-utils appstream)
# What makes and checks the Debian package (./package.sh, and a step of ./test.sh).
VELUNE_PACKAGE_TOOLS=(scdoc dpkg-dev lintian file)
# What builds and runs the fuzz targets (tests/fuzz/run.sh, and a step of ./test.sh).
VELUNE_FUZZ_PACKAGES=(clang libclang-rt-14-dev ffmpeg)

velune_install() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# A PulseAudio server with a null sink gives the tests a real-time audio output
# without a sound card.
velune_start_sound() {
    export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/velune-runtime-$(id -u)}"
    mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
    if pactl info >/dev/null 2>&1; then
        return 0
    fi
    local system=()
    [ "$(id -u)" -eq 0 ] && system=(--system=no)
    pulseaudio --daemonize=yes --exit-idle-time=-1 -n "${system[@]}" \
        --load="module-null-sink" --load="module-native-protocol-unix" >/dev/null 2>&1 || true
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        pactl info >/dev/null 2>&1 && return 0
        sleep 0.5
    done
    echo "warning: no PulseAudio server; tests that play sound run without one" >&2
}
