#!/usr/bin/env bash
# Builds and runs bench_parcel_kernel: the parcel kernel of this tree against
# that of a baseline revision (default 791ad83, before the kernel was sped up),
# both compiled with the library's flags (-O3, no fast-math).
#   bash bench/bench_parcel_kernel.sh [ncol nz repeat]    BASE_REV=<rev> to change the baseline
set -euo pipefail
cd "$(dirname "$0")/.."
rev=${BASE_REV:-791ad83}
out=build/bench-parcel
base="$out/baseline"
rm -rf "$base"
mkdir -p "$base/met"
for f in constants.h thermo.h thermo.cpp parcel.h parcel.cpp; do
    git show "$rev:tarq-core/src/met/$f" >"$base/met/$f"
done
CXX=${CXX:-g++}
flags=(-O3 -std=c++23 -DNDEBUG)
"$CXX" "${flags[@]}" -Dtarq=tarq_baseline -DLIFT_COLUMNS=lift_columns_baseline -I"$base" -Ibench \
    -c bench/parcel_columns.cpp -o "$out/columns_baseline.o"
"$CXX" "${flags[@]}" -Dtarq=tarq_baseline -I"$base" -c "$base/met/thermo.cpp" -o "$out/thermo_baseline.o"
"$CXX" "${flags[@]}" -Dtarq=tarq_baseline -I"$base" -c "$base/met/parcel.cpp" -o "$out/parcel_baseline.o"
"$CXX" "${flags[@]}" -DTARQ_LCL_KERNEL -DLIFT_COLUMNS=lift_columns_current -Itarq-core/src -Ibench \
    -c bench/parcel_columns.cpp -o "$out/columns_current.o"
"$CXX" "${flags[@]}" -Itarq-core/src -c tarq-core/src/met/thermo.cpp -o "$out/thermo_current.o"
"$CXX" "${flags[@]}" -Itarq-core/src -c tarq-core/src/met/parcel.cpp -o "$out/parcel_current.o"
"$CXX" "${flags[@]}" -Itarq-core/src -c tarq-core/src/met/moist_lift_many.cpp -o "$out/moist_lift_many_current.o"
"$CXX" "${flags[@]}" -Itarq-core/src -Ibench bench/bench_parcel_kernel.cpp "$out"/*.o -o "$out/bench_parcel_kernel"
"$out/bench_parcel_kernel" "$@"
