#!/usr/bin/env bash
# Installs what is missing, builds Gabblet and starts it.
# Arguments go to the program (for example --user=anna).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build-release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGABBLET_TESTS=OFF
exec build-release/src/app/gabblet "$@"
