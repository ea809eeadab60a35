#!/usr/bin/env bash
# Builds the two libFuzzer targets with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs each in turn:
#   hdf5_fuzz   the HDF5 and classic netCDF readers on arbitrary bytes, seeded
#               with the h5py/netCDF4 corpus and fuzz/regressions;
#   model_fuzz  a mutated small model file through opening and every catalogue
#               row at one time, seeded from the model-file fixture and
#               fuzz/model_regressions.
# Installs clang-19 and its fuzzing runtime from Debian when they are missing.
#   FUZZ_SECONDS     run time of each target (default 30)
#   FUZZ_OUT         build and work directory (default build/fuzz)
#   FUZZ_TARGETS     the targets to run (default "hdf5 model")
#   FUZZ_BUILD_ONLY  when 1, build the targets and write the seeds, run nothing
#   FUZZ_FLAGS       extra libFuzzer flags, e.g. "-fork=1 -ignore_crashes=1" for
#                    a long campaign that keeps going after a finding
set -euo pipefail
cd "$(dirname "$0")/.."

CXX=${FUZZ_CXX:-clang++-19}
fuzzer_runtime=(/usr/lib/llvm-19/lib/clang/19/lib/linux/libclang_rt.fuzzer-*.a)
if ! command -v "$CXX" >/dev/null 2>&1 || [ ! -e "${fuzzer_runtime[0]}" ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang-19 libclang-rt-19-dev
fi
seconds=${FUZZ_SECONDS:-30}
out=${FUZZ_OUT:-build/fuzz}
targets=${FUZZ_TARGETS:-hdf5 model}
mkdir -p "$out"

# The core is built once, with the sanitizers and libFuzzer's coverage, and
# linked into both targets.
sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
cmake -S tarq-core -B "$out/core" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARQ_BUILD_TESTS=OFF -DTARQ_USE_LIBDEFLATE=OFF \
    -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
    -DCMAKE_CXX_FLAGS="-fno-omit-frame-pointer -fsanitize=fuzzer-no-link $sanitizers" >/dev/null
cmake --build "$out/core" -j "${FUZZ_JOBS:-2}" >/dev/null
# The core links SLEEF where its configure step found it; the targets then
# link it too.
vector_math=$(sed -n 's/^SLEEF_LIBRARY:FILEPATH=//p' "$out/core/CMakeCache.txt")
case "$vector_math" in *NOTFOUND*) vector_math= ;; esac
for target in $targets; do
    "$CXX" -std=c++23 -O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer $sanitizers \
        -Itarq-core/src -Itarq-core/tests "fuzz/${target}_fuzz.cpp" "$out/core/libtarq_core.a" \
        ${vector_math} -lz -pthread -o "$out/${target}_fuzz"
done

# The seed writers need h5py and netCDF4, and the model's an installed tarq
# (for tarq.testing), as .ci/test installs them.
seeds_failed() { echo "seed writers unavailable: seeding with regressions only"; }
mkdir -p "$out/hdf5_seeds" "$out/model_seeds"
python3 tests/h5_corpus.py "$out/hdf5_seeds" >/dev/null 2>&1 || seeds_failed
# The largest corpus file slows every run down; the fuzzer does not need it.
rm -f "$out/hdf5_seeds/dense_heap.h5"
python3 fuzz/model_seeds.py "$out/model_seeds" >/dev/null 2>&1 || seeds_failed
[ "${FUZZ_BUILD_ONLY:-0}" = 1 ] && exit 0

declare -A regressions=([hdf5]=fuzz/regressions [model]=fuzz/model_regressions)
for target in $targets; do
    mkdir -p "$out/${target}_corpus" "$out/${target}_artifacts"
    echo "== ${target}_fuzz, ${seconds} s"
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$out/${target}_fuzz" "$out/${target}_corpus" "$out/${target}_seeds" $(ls -d "${regressions[$target]}" 2>/dev/null) \
        -max_total_time="$seconds" -max_len=1048576 -rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=20 \
        -artifact_prefix="$out/${target}_artifacts/" -print_final_stats=1 ${FUZZ_FLAGS:-}
done
