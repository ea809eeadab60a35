#!/usr/bin/env bash
# Builds the file readers' libFuzzer target (HDF5 and classic netCDF) with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs it, seeded with the h5py/netCDF4 corpus
# and the saved regressions. Skips quietly when clang-19 is not installed.
#   FUZZ_SECONDS   run time (default 60)
#   FUZZ_OUT       build and work directory (default build/fuzz)
#   FUZZ_FLAGS     extra libFuzzer flags, e.g. "-fork=1 -ignore_crashes=1" for
#                  a long campaign that keeps going after a finding
set -euo pipefail
cd "$(dirname "$0")/.."

CXX=${FUZZ_CXX:-clang++-19}
if ! command -v "$CXX" >/dev/null 2>&1; then
    echo "fuzz smoke skipped: $CXX not found"
    exit 0
fi
seconds=${FUZZ_SECONDS:-60}
out=${FUZZ_OUT:-build/fuzz}
mkdir -p "$out/corpus" "$out/artifacts"

sources=(tarq-core/src/hdf5/*.cpp tarq-core/src/netcdf3/*.cpp tarq-core/src/util/error.cpp
         tarq-core/src/util/huge_pages.cpp)
"$CXX" -std=c++23 -O1 -g -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -Itarq-core/src -Itarq-core/tests \
    fuzz/hdf5_fuzz.cpp "${sources[@]}" -lz -o "$out/hdf5_fuzz"

python3 tests/h5_corpus.py "$out/seeds" >/dev/null 2>&1 || echo "corpus writers unavailable: seeding with regressions only"
# The largest corpus file slows every run down; the fuzzer does not need it.
rm -f "$out/seeds/dense_heap.h5"

UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
"$out/hdf5_fuzz" "$out/corpus" "$out/seeds" fuzz/regressions \
    -max_total_time="$seconds" -max_len=1048576 -rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=20 \
    -artifact_prefix="$out/artifacts/" -print_final_stats=1 ${FUZZ_FLAGS:-}
