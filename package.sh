#!/usr/bin/env bash
# ./package.sh — builds the Debian package velune_<version>_<arch>.deb (both programs,
# their faces, help, desktop entries, icons, metainfo and manual pages) into
# build-package/, with Debian's hardening flags, and checks it with lintian.
set -euo pipefail
cd "$(dirname "$0")"
source tools/setup.sh
velune_install "${VELUNE_PACKAGES[@]}" "${VELUNE_PACKAGE_TOOLS[@]}"
velune_start_sound
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELUNE_TESTS=OFF >/dev/null
cmake --build build-package -j "$(nproc)"
tools/check_package.sh build-package
echo "Install it with: sudo apt-get install ./$(ls build-package/velune_*.deb)"
