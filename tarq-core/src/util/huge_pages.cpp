#include "util/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace tarq {

namespace {

constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;

}  // namespace

void advise_huge_pages(void* data, std::size_t bytes) noexcept {
#ifdef MADV_HUGEPAGE
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHugePage - 1);
    if (last > first) (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

std::vector<double> zeroed_field(std::size_t n) {
    std::vector<double> values;
    values.reserve(n);
    if (n * sizeof(double) >= 2 * kHugePage) advise_huge_pages(values.data(), n * sizeof(double));
    values.resize(n);
    return values;
}

}  // namespace tarq
