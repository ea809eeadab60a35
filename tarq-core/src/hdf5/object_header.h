#pragma once
// Walking the messages of an object header, continuation blocks included.

#include <cstdint>
#include <functional>

#include "hdf5/bytes.h"
#include "io/file_reader.h"
#include "util/error.h"

namespace tarq::hdf5 {

// Message types the reader acts on (HDF5 format IV.A.2).
namespace message_type {
inline constexpr std::uint16_t kDataspace = 0x0001;
inline constexpr std::uint16_t kLinkInfo = 0x0002;
inline constexpr std::uint16_t kDatatype = 0x0003;
inline constexpr std::uint16_t kLink = 0x0006;
inline constexpr std::uint16_t kLayout = 0x0008;
inline constexpr std::uint16_t kFilterPipeline = 0x000B;
inline constexpr std::uint16_t kAttribute = 0x000C;
inline constexpr std::uint16_t kContinuation = 0x0010;
inline constexpr std::uint16_t kSymbolTable = 0x0011;
inline constexpr std::uint16_t kAttributeInfo = 0x0015;
}  // namespace message_type

// Message flag: the message body is a reference to a message stored elsewhere
// (a committed datatype, for one).
inline constexpr std::uint8_t kMessageShared = 0x02;

// Receives each message's type, flags and bytes, in file order; an error ends
// the walk.
using MessageVisitor = std::function<Result<void>(std::uint16_t type, std::uint8_t flags, ByteSpan data)>;

// Walks a version 1 or version 2 ("OHDR") object header.
[[nodiscard]] Result<void> walk_object_header(const FileReader& file, std::uint64_t address,
                                              const MessageVisitor& visit);

// Walks a header that must be a version 2 header: only its "OHDR" signature
// is checked ("Expected OHDR at 0x...").
[[nodiscard]] Result<void> walk_v2_object_header(const FileReader& file, std::uint64_t address,
                                                 const MessageVisitor& visit);

}  // namespace tarq::hdf5
