#!/usr/bin/env bash
# Installs what is missing, builds the programs in Release (build-package/, no tests) and
# writes the Debian package dist/zembrio_<version>_<arch>.deb with CPack. Prints its path.
#   scripts/package.sh
# Install it with: sudo apt-get install ./dist/zembrio_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

# The build's packages, with dpkg-shlibdeps (dpkg-dev) that finds the libraries to depend on.
scripts/deps.sh

BUILD=build-package
LAUNCHER=()
if command -v ccache >/dev/null; then LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
# Debian's hardening (stack protector, fortified functions, read-only relocations bound at
# start): the programs read files from anywhere.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
# What is shipped is linked by the distribution's own linker, not the quicker one of the tests.
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DZEMBRIO_BUILD_TESTS=OFF "${LAUNCHER[@]}" \
  -DZEMBRIO_LINKER=default -DCMAKE_CXX_FLAGS="$CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >/dev/null
cmake --build "$BUILD" --target zembrio zembrio-cli zembrio_packaging_files -j"$(nproc)"
# Only this build's package stays in dist/, so ./dist/zembrio_*.deb names one file.
mkdir -p dist
rm -f dist/zembrio_*.deb
(cd "$BUILD" && cpack -G DEB >/dev/null)

VERSION=$(sed -n 's/^project(Zembrio VERSION \([^ ]*\) .*/\1/p' CMakeLists.txt)
DEB=dist/zembrio_${VERSION}_$(dpkg --print-architecture).deb
[[ -f $DEB ]] || { echo "CPack did not write $DEB" >&2; exit 1; }
echo "$DEB"
