#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: once in a
# plain build and once under AddressSanitizer + UndefinedBehaviorSanitizer.
# A failing test or a sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
export GABBLET_NONINTERACTIVE=1
# Tests must never touch the real user's files.
export GABBLET_HOME="$(mktemp -d)"
export XDG_RUNTIME_DIR="$(mktemp -d)"
chmod 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$GABBLET_HOME" "$XDG_RUNTIME_DIR"' EXIT

echo "== plain build"
scripts/build.sh build -DCMAKE_BUILD_TYPE=Debug
(cd build && ctest --output-on-failure -j "$(nproc)" --timeout 300)

echo "== sanitizer build"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DGABBLET_SANITIZE=ON
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-asan && ctest --output-on-failure -j "$(nproc)" --timeout 600)
