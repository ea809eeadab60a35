#pragma once
// The root group's member table: member name to object header address.

#include <cstdint>
#include <string>
#include <unordered_map>

namespace tarq::hdf5 {

using MemberTable = std::unordered_map<std::string, std::uint64_t>;

}  // namespace tarq::hdf5
