#!/usr/bin/env bash
# Installs what is missing, builds the programs in Release (build-package/, no tests) and
# writes the Debian package dist/zembrio_<version>_<arch>.deb with CPack. Prints its path.
#   scripts/package.sh
# Install it with: sudo apt-get install ./dist/zembrio_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."

# The build's packages, and dpkg-shlibdeps (dpkg-dev) that finds the libraries to depend on.
scripts/deps.sh
scripts/deps.sh dpkg-dev file

BUILD=build-package
LAUNCHER=()
if command -v ccache >/dev/null; then LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DZEMBRIO_BUILD_TESTS=OFF "${LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD" --target zembrio zembrio-cli zembrio_packaging_files -j"$(nproc)"
mkdir -p dist
(cd "$BUILD" && cpack -G DEB >/dev/null)

VERSION=$(sed -n 's/^project(Zembrio VERSION \([^ ]*\) .*/\1/p' CMakeLists.txt)
DEB=dist/zembrio_${VERSION}_$(dpkg --print-architecture).deb
[[ -f $DEB ]] || { echo "CPack did not write $DEB" >&2; exit 1; }
echo "$DEB"
