#!/usr/bin/env bash
# Builds the release preset and makes the Debian package: build/release/vantrel_<version>_<arch>.deb.
#   PACKAGE_BUILD_DIR=build/pkg ./scripts/package.sh   builds only what the package holds, in a
#                                                      folder of its own, instead of the preset
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}
if [ -n "${PACKAGE_BUILD_DIR:-}" ]; then
  dir=$PACKAGE_BUILD_DIR
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
  cmake --build "$dir" -j "$jobs" --target vantrel vantrel-sim manuals
else
  dir=build/release
  cmake --preset release >/dev/null
  cmake --build --preset release -j "$jobs"
fi
(cd "$dir" && cpack -G DEB >/dev/null)
package=$(ls -t "$dir"/vantrel_*.deb | head -n 1)
echo "package: $package"
dpkg-deb --info "$package" | sed -n 's/^ \(Package\|Version\|Depends\|Installed-Size\):/  \1:/p'
