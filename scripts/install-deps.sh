#!/usr/bin/env bash
# Installs every Debian 12 package Vantrel needs to build, run, test, fuzz and package.
# Fast and silent when everything is already there; needs root (or sudo) otherwise.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev
  # Qt 6
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-multimedia-dev
  libqt6svg6 qt6-qpa-plugins
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # the sound server, recording and virtual serial pairs for tests and the demo
  pulseaudio pulseaudio-utils sox socat python3
  # screenshots and the demo window
  xvfb xauth imagemagick xdotool
  # packaging
  dpkg-dev fakeroot file
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
