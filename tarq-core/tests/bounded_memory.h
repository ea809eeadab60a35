#pragma once
// For the fuzz targets only: replaces the global operator new by one that
// refuses any single allocation above 64 MiB with std::bad_alloc, as a
// machine without that memory would. The sanitizers cannot do this (their
// allocator aborts instead of throwing), and the fuzzer's own limit would
// report every large but bounded read as a finding. Include in exactly one
// translation unit of a fuzz target.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace tarq::testing {
inline constexpr std::size_t kAllocationLimitBytes = std::size_t{64} << 20;
}  // namespace tarq::testing

namespace tarq::testing {
inline void* bounded_allocate(std::size_t size, std::size_t alignment) {
    if (size > kAllocationLimitBytes) return nullptr;
    if (size == 0) size = 1;
    if (alignment <= alignof(std::max_align_t)) return std::malloc(size);
    return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
}
inline void* bounded_allocate_or_throw(std::size_t size, std::size_t alignment) {
    if (void* p = bounded_allocate(size, alignment)) return p;
    throw std::bad_alloc();
}
}  // namespace tarq::testing

// Every form of new and delete is replaced, so that each pair matches.
void* operator new(std::size_t n) { return tarq::testing::bounded_allocate_or_throw(n, 0); }
void* operator new[](std::size_t n) { return tarq::testing::bounded_allocate_or_throw(n, 0); }
void* operator new(std::size_t n, std::align_val_t a) {
    return tarq::testing::bounded_allocate_or_throw(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a) {
    return tarq::testing::bounded_allocate_or_throw(n, static_cast<std::size_t>(a));
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return tarq::testing::bounded_allocate(n, 0); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return tarq::testing::bounded_allocate(n, 0); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return tarq::testing::bounded_allocate(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return tarq::testing::bounded_allocate(n, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
