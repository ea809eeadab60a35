#pragma once
// Large result buffers backed by transparent huge pages where the system
// offers them: the first touch of fresh memory is paid per page, and a 2 MiB
// page costs about as much as one of 4 KiB.

#include <cstddef>
#include <vector>

namespace tarq {

// Asks the kernel to back the whole 2 MiB pages inside [data, data + bytes)
// with huge pages. Advice only: nothing changes where it is refused.
void advise_huge_pages(void* data, std::size_t bytes) noexcept;

// n zeros, with huge pages asked for before the first touch.
[[nodiscard]] std::vector<double> zeroed_field(std::size_t n);

}  // namespace tarq
