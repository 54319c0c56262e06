#!/usr/bin/env bash
# Installs the Debian 12 packages Kelvora builds, runs and tests with.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libqt6opengl6-dev
  librtmidi-dev libfluidsynth-dev fluidsynth timgm6mb-soundfont libasound2-dev libpulse-dev
  libjack-jackd2-dev jackd2
  pulseaudio pulseaudio-utils libasound2-plugins alsa-utils sox
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev
  xvfb xauth xdotool x11-xkb-utils imagemagick openbox wmctrl
  dpkg-dev file lintian desktop-file-utils appstream shared-mime-info man-db
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
# jackd2 asks whether to enable real-time scheduling; the default answer is fine.
echo "jackd2 jackd/tweak_rt_limits boolean false" | $SUDO debconf-set-selections
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
