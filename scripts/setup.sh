#!/usr/bin/env bash
# Installs what Tuval needs to build, run, test and benchmark on Debian 12.
# Idempotent: packages already present are skipped.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-tools
  libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-liberation
  ffmpeg lame
  libtag1-dev libfftw3-dev libkissfft-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
