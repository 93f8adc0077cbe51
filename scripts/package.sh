#!/usr/bin/env bash
# Builds a Debian package of Gabblet (gabblet_<version>_<arch>.deb) in
# build-package/: a release build for the /usr prefix, packed by CPack with
# its dependencies taken from the shared libraries it links.
#
# Install it with: sudo apt install ./build-package/gabblet_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DGABBLET_TESTS=OFF -DGABBLET_BENCH=OFF
(cd build-package && cpack -G DEB)
ls -1 build-package/*.deb
