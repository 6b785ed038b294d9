#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (when missing),
# then configures and builds into ./build. Safe to run again.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev libegl-dev libxkbcommon-dev
  libsane-dev libsane1 sane-utils iproute2
  libtiff-dev libtiff-tools libjpeg-dev libjpeg-turbo-progs
  libgtest-dev googletest
  file xvfb xauth xdotool x11-apps x11-utils openbox imagemagick locales
  desktop-file-utils appstream
  dpkg-dev lintian
  fonts-dejavu-core fonts-dejavu-extra
)

"$here/tools/install-packages.sh" "${packages[@]}"

# The tests name pages in a few regional formats.
if command -v locale-gen >/dev/null && ! locale -a 2>/dev/null | grep -qi '^de_DE.utf8$'; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  for l in "en_US.UTF-8 UTF-8" "de_DE.UTF-8 UTF-8"; do
    grep -q "^$l" /etc/locale.gen 2>/dev/null || echo "$l" | $sudo tee -a /etc/locale.gen >/dev/null
  done
  $sudo locale-gen >/dev/null
fi

# Real print queues (cups-pdf) for the copy job and its tests.
"$here/tools/cups-setup.sh"

build_type=${BUILD_TYPE:-RelWithDebInfo}
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="$build_type" >/dev/null
cmake --build build -j"$(nproc)"
