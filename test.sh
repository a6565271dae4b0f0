#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, runs the whole suite,
# then runs it again built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
velune_install "${VELUNE_PACKAGES[@]}" "${VELUNE_TEST_PACKAGES[@]}" "${VELUNE_PACKAGE_TOOLS[@]}" \
    "${VELUNE_FUZZ_PACKAGES[@]}"
velune_start_sound

jobs=$(nproc)

echo "== Build and test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELUNE_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

echo "== Lint: clang-tidy on the programs' code (.clang-tidy), qmllint on the faces"
git ls-files 'common/*.cpp' 'converter/*.cpp' 'player/*.cpp' |
    xargs -P "$jobs" -n 4 clang-tidy -p build --quiet 2>/dev/null
# The faces as installed, beside their scripts, with the host's types from build/qml.
/usr/lib/qt6/bin/qmllint -I build/qml build/bin/VeluneC.qml build/bin/Converter*.qml build/bin/VeluneC1.qml \
    build/bin/player.qml build/bin/PlayerList.qml

echo "== Install into a scratch prefix; check the desktop entries and the metainfo"
prefix=$(mktemp -d)
cmake --install build --prefix "$prefix" >/dev/null
desktop-file-validate "$prefix"/share/applications/*.desktop
appstreamcli validate --no-net "$prefix"/share/metainfo/*.xml >/dev/null
test -x "$prefix/bin/VelunePlayer" && test -f "$prefix/lib/velune/player.qml"
rm -rf "$prefix"

echo "== The Debian package: its files, the programs from a staged root, lintian"
tools/check_package.sh build

echo "== Fuzz targets (clang's libFuzzer with ASan and UBSan), a fixed number of inputs each"
tests/fuzz/run.sh --ci

echo "== Build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELUNE_WERROR=ON -DVELUNE_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=0"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-asan && ctest --output-on-failure -j "$jobs")
