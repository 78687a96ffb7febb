#!/bin/sh
# Vantrel's everyday commands. They work on a Debian 12 machine that has nothing but git: each
# first installs the Debian packages it needs (scripts/install-deps.sh; quick and quiet when
# they are there), then builds only what it runs, in build/dev.
#
#   ./vantrel.sh run    build the program and start it in ./run, its working folder
#   ./vantrel.sh test   build everything and run the whole test suite
#   ./vantrel.sh demo   the program beside a simulated logger and keyer, in ./demo
#   ./vantrel.sh help   build the program and show its --help (the manual page:
#                       man ./packaging/vantrel.1, with man-db installed)
#
# JOBS=n sets the number of parallel compile jobs (default: the number of processors).
set -eu
cd "$(dirname "$0")"
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}

build() {
  cmake --preset dev >/dev/null
  cmake --build --preset dev -j "$jobs" "$@"
}

case ${1:-} in
  run)
    shift
    ./scripts/install-deps.sh run
    build --target vantrel
    mkdir -p run
    [ -e run/cw.wav ] || cp assets/cw.wav run/
    cd run
    exec ../build/dev/src/app/vantrel "$@"
    ;;
  test)
    ./scripts/install-deps.sh test
    build
    # Sound and serial tests run in real time on a shared machine: one that fails is run once
    # more, and both outcomes show in the output.
    QT_QPA_PLATFORM=offscreen ./scripts/with-sound-server.sh \
      ctest --preset dev -j "$jobs" --repeat until-pass:2
    ;;
  demo)
    # Without a display and DEMO_SECONDS the demo says why it cannot run, before any build.
    [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}${DEMO_SECONDS:-}" ] || exec ./scripts/demo.sh
    ./scripts/install-deps.sh "$([ -n "${DEMO_SECONDS:-}" ] && echo demo || echo run)"
    build --target vantrel vantrel-sim
    exec ./scripts/demo.sh
    ;;
  help)
    ./scripts/install-deps.sh run
    build --target vantrel
    ./build/dev/src/app/vantrel --help
    echo
    echo "The program is ./build/dev/src/app/vantrel. Its manual page: man ./packaging/vantrel.1"
    echo "(needs man-db: apt-get install man-db); the simulator's: man ./packaging/vantrel-sim.1"
    ;;
  *)
    sed -n '2,13s/^# \{0,1\}//p' "$0" >&2
    exit 2
    ;;
esac
