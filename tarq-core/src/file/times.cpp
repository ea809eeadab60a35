#include <string>

#include "file/tarq_file.h"
#include "io/bytes.h"

namespace tarq {

Result<std::vector<std::string>> read_times(const TarqFile& file) {
    TARQ_TRY(const auto dims, file.reader->shape("Times"));
    TARQ_TRY(const auto bytes, file.reader->read_bytes("Times"));
    // A zero string length would make every record empty and the record count
    // (untrusted) unbounded, so it is refused with the other odd shapes.
    if (dims.size() != 2 || dims[1] == 0) {
        return fail(ErrorKind::DimMismatch, "Times variable has unexpected shape");
    }
    const std::uint64_t count = dims[0];
    const std::uint64_t length = dims[1];
    std::vector<std::string> times;
    std::uint64_t offset = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (bytes.size() - offset < length) break;  // short data: keep what was complete
        times.push_back(strip_trailing_nuls(utf8_lossy(std::span(bytes).subspan(offset, length))));
        offset += length;
    }
    return times;
}

}  // namespace tarq
