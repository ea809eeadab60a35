#!/usr/bin/env bash
# Builds and runs bench_parcel_kernel: the parcel kernel of this tree (with
# SLEEF's vector math where libsleef-dev is installed, and with scalar math)
# against that of a baseline revision (default 8315748, the batched moist
# adiabat before vector math), all compiled with the library's flags (-O3, no
# fast-math); then bench_parcel_sharplib.py runs SHARPlib's wheel over the same
# columns where it is installed (pip install sharplib).
#   bash bench/bench_parcel_kernel.sh [ncol nz repeat]    BASE_REV=<rev> to change the baseline
set -euo pipefail
cd "$(dirname "$0")/.."
rev=${BASE_REV:-8315748}
out=build/bench-parcel
base="$out/baseline"
rm -rf "$base" "$out"/*.o
mkdir -p "$base/met" "$base/util"
for f in met/thermo.h met/thermo.cpp met/parcel.h met/parcel.cpp met/moist_lift_many.cpp util/constants.h; do
    git show "$rev:tarq-core/src/$f" >"$base/$f" 2>/dev/null || rm -f "$base/$f"
done
CXX=${CXX:-g++}
flags=(-O3 -std=c++23 -DNDEBUG)
sleef=()
if [ -f /usr/include/x86_64-linux-gnu/sleef.h ] || [ -f /usr/include/sleef.h ]; then sleef=(-DTARQ_HAVE_SLEEF=1); fi
"$CXX" "${flags[@]}" -Dtarq=tarq_baseline -DLIFT_COLUMNS=lift_columns_baseline -DTARQ_LCL_KERNEL -I"$base" -Ibench \
    -c bench/parcel_columns.cpp -o "$out/columns_baseline.o"
for f in "$base"/met/*.cpp; do
    "$CXX" "${flags[@]}" -Dtarq=tarq_baseline -I"$base" -c "$f" -o "$out/$(basename "$f" .cpp)_baseline.o"
done
"$CXX" "${flags[@]}" -DTARQ_LCL_KERNEL -DLIFT_COLUMNS=lift_columns_current -Itarq-core/src -Ibench \
    -c bench/parcel_columns.cpp -o "$out/columns_current.o"
for f in thermo parcel vector_math vector_math_sse2; do
    "$CXX" "${flags[@]}" "${sleef[@]}" -Itarq-core/src -c "tarq-core/src/met/$f.cpp" -o "$out/${f}_current.o"
done
"$CXX" "${flags[@]}" -ffp-contract=off -Itarq-core/src -c tarq-core/src/met/moist_lift_many.cpp \
    -o "$out/moist_lift_many_current.o"
"$CXX" "${flags[@]}" "${sleef[@]}" -mavx2 -mfma -Itarq-core/src -c tarq-core/src/met/vector_math_avx2.cpp \
    -o "$out/vector_math_avx2_current.o"
"$CXX" "${flags[@]}" "${sleef[@]}" -mavx512f -Itarq-core/src -c tarq-core/src/met/vector_math_avx512.cpp \
    -o "$out/vector_math_avx512_current.o"
libs=()
if [ ${#sleef[@]} -gt 0 ]; then libs=(-lsleef); fi
"$CXX" "${flags[@]}" -Itarq-core/src -Ibench bench/bench_parcel_kernel.cpp "$out"/*.o "${libs[@]}" \
    -o "$out/bench_parcel_kernel"
ncol=${1:-4000}
"$out/bench_parcel_kernel" "$ncol" "${2:-50}" "${3:-5}" "$out/run"
python=${PYTHON:-python3}
if "$python" -c "import nwsspc.sharp.calc" 2>/dev/null; then
    "$python" bench/bench_parcel_sharplib.py "$out/run"
else
    echo "sharplib: not installed for $python (pip install sharplib), no comparison"
fi
