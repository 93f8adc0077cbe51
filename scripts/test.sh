#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: once in a
# plain build with g++ and once under AddressSanitizer + UndefinedBehavior-
# Sanitizer built with clang++, so that both compilers' warnings are caught.
# Then every fuzz target runs over its seed corpus in fuzz/corpus/<target>/,
# the targets sharing a budget of five minutes between them.
# A failing test, a sanitizer report or a fuzzer finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
export GABBLET_NONINTERACTIVE=1
# Tests must never touch the real user's files.
export GABBLET_HOME="$(mktemp -d)"
export XDG_RUNTIME_DIR="$(mktemp -d)"
chmod 700 "$XDG_RUNTIME_DIR"
# Suites that need known port numbers claim them here, C++ and Python alike
# (tests/support/TestPorts.h), so that suites running at once never collide.
export GABBLET_TEST_PORT_DIR="$(mktemp -d)"
fuzz_work="$(mktemp -d)"
trap 'rm -rf "$GABBLET_HOME" "$XDG_RUNTIME_DIR" "$GABBLET_TEST_PORT_DIR" "$fuzz_work"' EXIT

echo "== plain build (g++)"
scripts/build.sh build -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++
(cd build && ctest --output-on-failure -j "$(nproc)" --timeout 300)

echo "== sanitizer build (clang++)"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DGABBLET_SANITIZE=ON -DGABBLET_BENCH=OFF
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-asan && ctest --output-on-failure -j "$(nproc)" --timeout 600)

echo "== fuzzing (clang++, libFuzzer)"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DGABBLET_FUZZ=ON -DGABBLET_TESTS=OFF -DGABBLET_BENCH=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target fuzz_targets
budget=300 # seconds for all targets together, however many there are
targets=()
for t in build-fuzz/fuzz/fuzz_*; do
    [[ -f $t && -x $t ]] && targets+=("$t")
done
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets were built" >&2; exit 1; }
# Each run takes a moment beyond its time to start and to write its findings.
share=$((budget / ${#targets[@]} - 2))
for t in "${targets[@]}"; do
    name=$(basename "$t")
    seeds=fuzz/corpus/$name
    [ -d "$seeds" ] || { echo "$name has no seed corpus in $seeds" >&2; exit 1; }
    # New inputs go to a scratch folder; the committed seeds are only read.
    mkdir -p "$fuzz_work/$name"
    echo "-- $name: ${share} s over $(ls "$seeds" | wc -l) seeds"
    if ! "$t" -max_total_time="$share" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix="$fuzz_work/" "$fuzz_work/$name" "$seeds" > "$fuzz_work/$name.log" 2>&1; then
        tail -n 60 "$fuzz_work/$name.log" >&2
        echo "$name found a crash; the input is kept as build-fuzz/$name-crash" >&2
        cp "$(ls -t "$fuzz_work"/crash-* "$fuzz_work"/leak-* "$fuzz_work"/timeout-* \
              "$fuzz_work"/oom-* 2>/dev/null | head -n 1)" "build-fuzz/$name-crash" 2>/dev/null || true
        exit 1
    fi
    grep -E "^stat::number_of_executed_units|^Done" "$fuzz_work/$name.log" || true
done
echo "== all tests and fuzz targets passed"
