#!/usr/bin/env bash
# Makes the Debian package, build/package/vantrel_<version>_<arch>.deb: installs only what
# packaging needs (scripts/install-deps.sh package), then builds only what the package holds
# (the program, the simulator, the manual pages), without tests or benchmarks, in a folder of
# its own.
#   PACKAGE_BUILD_DIR=DIR ./scripts/package.sh   another folder
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}
./scripts/install-deps.sh package
dir=${PACKAGE_BUILD_DIR:-build/package}
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_TESTS=OFF \
  -DVANTREL_BENCH=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$dir" -j "$jobs" --target vantrel vantrel-sim manuals
(cd "$dir" && cpack -G DEB >/dev/null)
package=$(ls -t "$dir"/vantrel_*.deb | head -n 1)
echo "package: $package"
dpkg-deb --info "$package" | sed -n 's/^ \(Package\|Version\|Depends\|Installed-Size\):/  \1:/p'
