#!/usr/bin/env bash
# Installs the Debian 12 packages Vantrel needs for one purpose (and the ones before it):
#
#   install-deps.sh run      build and run the program, and make virtual pairs (socat)
#   install-deps.sh test     ... and run the test suite (a private PulseAudio server for sound,
#                            a virtual display for the tests that press keys in the real program)
#   install-deps.sh demo     ... run and show the demo headless (the same as test)
#   install-deps.sh package  only what building the Debian package needs (no test libraries)
#   install-deps.sh          everything: also sanitizers, fuzzing, screenshots, packaging
#   install-deps.sh windows-abi  only what the Windows ABI run needs (scripts/windows-abi.sh)
#
# Quick and silent when everything is there. Otherwise it runs apt-get update and install, as
# root directly or through sudo.
set -euo pipefail

purpose=${1:-all}
build=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-multimedia-dev libqt6svg6
  qt6-qpa-plugins
  # the simulator's radio plays through libpulse's simple API
  libpulse-dev
)
# The dev build configures the tests and benchmarks too.
run=("${build[@]}" googletest libgtest-dev libgmock-dev libbenchmark-dev socat)
# The sound tests start a PulseAudio server of their own. A desktop that runs PipeWire's
# PulseAudio service keeps it: installing pulseaudio would replace it, so the sound tests skip.
# ser2net: the keyer at the far end of a network link.
test=(pulseaudio-utils xvfb xauth xdotool ser2net)
if [ "$(dpkg-query -W -f='${db:Status-Status}' pipewire-pulse 2>/dev/null || true)" != installed ]; then
  test+=(pulseaudio)
fi
# The Qt-free logic cross-built for Windows and run under wine; nothing else.
windows_abi=(cmake ninja-build googletest g++-mingw-w64-x86-64-posix wine)
package=("${build[@]}" dpkg-dev fakeroot file)
all=(clang clang-format libclang-rt-14-dev sox python3 imagemagick dpkg-dev fakeroot file
  # the loaded run of the sound benchmark
  stress-ng)

case $purpose in
  run) packages=("${run[@]}") ;;
  test | demo) packages=("${run[@]}" "${test[@]}") ;;
  package) packages=("${package[@]}") ;;
  all) packages=("${run[@]}" "${test[@]}" "${all[@]}") ;;
  windows-abi) packages=("${windows_abi[@]}") ;;
  *)
    echo "usage: $0 [run|test|demo|package|windows-abi]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "install-deps: these packages are missing; install them as root, or install sudo" >&2
    exit 1
  fi
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
