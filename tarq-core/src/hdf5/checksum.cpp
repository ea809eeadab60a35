#include "hdf5/checksum.h"

#include <bit>
#include <string>

namespace tarq::hdf5 {

namespace {

struct State {
    std::uint32_t a;
    std::uint32_t b;
    std::uint32_t c;
};

// lookup3 "mix": reversible mixing of three 32-bit values.
void mix(State& s) noexcept {
    s.a -= s.c; s.a ^= std::rotl(s.c, 4);  s.c += s.b;
    s.b -= s.a; s.b ^= std::rotl(s.a, 6);  s.a += s.c;
    s.c -= s.b; s.c ^= std::rotl(s.b, 8);  s.b += s.a;
    s.a -= s.c; s.a ^= std::rotl(s.c, 16); s.c += s.b;
    s.b -= s.a; s.b ^= std::rotl(s.a, 19); s.a += s.c;
    s.c -= s.b; s.c ^= std::rotl(s.b, 4);  s.b += s.a;
}

// lookup3 "final": the last mixing of the three values into c.
void final_mix(State& s) noexcept {
    s.c ^= s.b; s.c -= std::rotl(s.b, 14);
    s.a ^= s.c; s.a -= std::rotl(s.c, 11);
    s.b ^= s.a; s.b -= std::rotl(s.a, 25);
    s.c ^= s.b; s.c -= std::rotl(s.b, 16);
    s.a ^= s.c; s.a -= std::rotl(s.c, 4);
    s.b ^= s.a; s.b -= std::rotl(s.a, 14);
    s.c ^= s.b; s.c -= std::rotl(s.b, 24);
}

// Up to 4 bytes from `at`, little-endian, as lookup3 adds a partial word.
std::uint32_t word(ByteSpan bytes, std::size_t at, std::size_t count) noexcept {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count && i < 4; ++i) value |= std::uint32_t{bytes[at + i]} << (8 * i);
    return value;
}

}  // namespace

std::uint32_t metadata_checksum(ByteSpan bytes) noexcept {
    const std::uint32_t init = 0xdeadbeefu + static_cast<std::uint32_t>(bytes.size());
    State s{init, init, init};
    std::size_t at = 0;
    std::size_t left = bytes.size();
    while (left > 12) {
        s.a += word(bytes, at, 4);
        s.b += word(bytes, at + 4, 4);
        s.c += word(bytes, at + 8, 4);
        mix(s);
        at += 12;
        left -= 12;
    }
    if (left == 0) return s.c;
    s.a += word(bytes, at, left);
    if (left > 4) s.b += word(bytes, at + 4, left - 4);
    if (left > 8) s.c += word(bytes, at + 8, left - 8);
    final_mix(s);
    return s.c;
}

Result<void> verify_checksum(ByteSpan structure_with_checksum, std::string_view what, std::uint64_t address) {
    if (structure_with_checksum.size() < 4)
        return netcdf_error(std::string(what) + " at " + hex_address(address) + " is too short for its checksum");
    const std::size_t body = structure_with_checksum.size() - 4;
    const auto stored = static_cast<std::uint32_t>(le_uint_unchecked(structure_with_checksum, body, 4));
    const std::uint32_t computed = metadata_checksum(structure_with_checksum.first(body));
    if (stored == computed) return {};
    return netcdf_error("Checksum mismatch in " + std::string(what) + " at " + hex_address(address) +
                        ": the file is corrupt");
}

}  // namespace tarq::hdf5
