#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh DIR [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
dir="$1"
shift
# A folder configured with another compiler starts afresh: CMake would drop
# the cached options along with the compiler and silently build without them.
for option in "$@"; do
    if [[ $option == -DCMAKE_CXX_COMPILER=* && -f $dir/CMakeCache.txt ]]; then
        wanted=$(readlink -f "$(command -v "${option#*=}")")
        cached=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$dir/CMakeCache.txt")
        if [[ -n $cached && $(readlink -f "$cached") != "$wanted" ]]; then
            rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
        fi
    fi
done
cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
