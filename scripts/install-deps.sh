#!/usr/bin/env bash
# The one list of Debian packages the project needs: build, run, test and benchmark.
# Installs only what is missing, so a second run is a no-op.
set -euo pipefail

packages=(
  # toolchain and test frameworks
  build-essential cmake ninja-build pkg-config python3
  # static analysis (scripts/tidy.sh) and the formatting check
  clang-tidy
  clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  # core libraries
  qt6-base-dev qcoro-qt6-dev libicu-dev nlohmann-json3-dev
  libsndfile1-dev libsoxr-dev libpulse-dev
  libpocketsphinx-dev libsphinxbase-dev pocketsphinx-en-us
  libx11-dev libxtst-dev libxres-dev libatspi2.0-dev
  libxi-dev
  # desktop shell
  qt6-svg-dev adwaita-icon-theme libcanberra-dev sound-theme-freedesktop
  libspeechd-dev
  # real speech and sound for samples, tests and benchmarks
  pocketsphinx pocketsphinx-testdata espeak-ng sox
  pulseaudio pulseaudio-utils
  # a virtual desktop for tests
  xvfb x11-utils xauth dbus-x11 at-spi2-core openbox xterm
  procps time
  # the bar's click-through, emoji in the shell's texts, a compositor for the bar's tests
  libxfixes-dev fonts-noto-color-emoji xcompmgr
  # installing: checks of the desktop entry and AppStream file, the Debian package's
  # library dependencies, picture sizes
  desktop-file-utils
  appstream
  dpkg-dev
  file
  # cues through the sound server (libcanberra's PulseAudio backend)
  libcanberra-pulse
  # read-back: the speech service, a voice for it (tests use a voice of their own)
  speech-dispatcher
  speech-dispatcher-espeak-ng
  # a tray host for the end-to-end tests
  trayer
  # a headless Wayland compositor and a virtual keyboard for the Wayland tests
  sway wtype
  # Wayland clients: the protocol library and its code generator, keymaps, Qt's Wayland
  # platform for the test window, and the clipboard tools the tests read with
  libwayland-dev libxkbcommon-dev qt6-wayland wl-clipboard
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
