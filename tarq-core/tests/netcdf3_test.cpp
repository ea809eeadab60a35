// The classic netCDF reader on hand-made headers: a small valid file read
// back, and every malformed header refused with a clean error.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "hdf5_test_bytes.h"
#include "netcdf3/netcdf3_file.h"

namespace tarq::testing {
namespace {

// Big-endian classic header pieces; `wide` counts are CDF-5's 8 bytes.
struct Cdf {
    std::uint8_t version = 1;
    Image bytes;

    Cdf& be(std::uint64_t value, std::size_t width) {
        for (std::size_t i = width; i > 0; --i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * (i - 1))));
        return *this;
    }
    Cdf& count(std::uint64_t n) { return be(n, version == 5 ? 8 : 4); }
    Cdf& offset(std::uint64_t n) { return be(n, version == 1 ? 4 : 8); }
    Cdf& name(std::string_view s) {
        count(s.size());
        bytes.insert(bytes.end(), s.begin(), s.end());
        while (bytes.size() % 4) bytes.push_back(0);
        return *this;
    }
};

// Dimensions Time (record) and x = 3; a fixed int variable "A"[x] and a
// record short variable "R"[Time, x] with 2 records; global attribute DX.
// Data start at `data_at`; `a_begin`, `r_begin` default to where they belong.
struct Layout {
    std::uint64_t numrecs = 2;
    std::uint64_t a_begin = 0;
    std::uint64_t r_begin = 0;
    std::uint64_t dims = 2;
    std::uint32_t r_type = 3;  // short
};

Image small_file(std::uint8_t version, Layout layout = {}) {
    const auto [numrecs, a_begin, r_begin, dims, r_type] = layout;
    Cdf h{version, {}};
    h.bytes = {'C', 'D', 'F', version};
    h.count(numrecs);
    h.be(0x0A, 4).count(dims).name("Time").count(0).name("x").count(3);
    h.be(0x0C, 4).count(1).name("DX").be(5, 4).count(1).be(0x453B8000, 4);
    h.be(0x0B, 4).count(2);
    const auto variables = [&](Cdf& out, std::uint64_t a_at, std::uint64_t r_at) {
        out.name("A").count(1).count(1).be(0, 4).count(0).be(4, 4).count(12).offset(a_at);
        out.name("R").count(2).count(0).count(1).be(0, 4).count(0).be(r_type, 4).count(8).offset(r_at);
    };
    Cdf sized = h;
    variables(sized, 0, 0);
    const std::uint64_t a_at = a_begin ? a_begin : sized.bytes.size();
    const std::uint64_t r_at = r_begin ? r_begin : a_at + 12;
    variables(h, a_at, r_at);
    // Data claimed inside the header are appended instead: the header is refused first.
    h.bytes.resize(std::max<std::size_t>(h.bytes.size(), a_at), 0);
    h.be(1, 4).be(static_cast<std::uint32_t>(-2), 4).be(3, 4);
    h.bytes.resize(std::max<std::size_t>(h.bytes.size(), r_at), 0);
    for (int r = 0; r < 2; ++r) h.be(10 * r + 1, 2).be(10 * r + 2, 2).be(static_cast<std::uint16_t>(-7), 2);
    return h.bytes;
}

TEST(Netcdf3, ReadsEveryVersion) {
    for (const std::uint8_t version : {1, 2, 5}) {
        const TempFile file(small_file(version));
        auto nc = Netcdf3File::open(file.path());
        ASSERT_TRUE(nc) << int{version} << ": " << nc.error().message;
        EXPECT_EQ(nc->shape("R"), (std::vector<std::uint64_t>{2, 3}));
        EXPECT_EQ(nc->read_f64("A"), (std::vector<double>{1, -2, 3}));
        // A single record variable's records follow each other unpadded.
        EXPECT_EQ(nc->read_f64("R"), (std::vector<double>{1, 2, -7, 11, 12, -7}));
        EXPECT_EQ(nc->read_f64_slab("R", 1), (std::vector<double>{11, 12, -7}));
        EXPECT_EQ(nc->read_f64_slab("A", 2), (std::vector<double>{3}));
        EXPECT_EQ(nc->attr_f64("DX"), 3000.0);
        EXPECT_EQ(nc->dimension_size("Time"), 2u);
        EXPECT_EQ(nc->shape("B").error().kind, ErrorKind::VarNotFound);
    }
}

TEST(Netcdf3, StreamingRecordCountIsTakenFromTheFileSize) {
    Image bytes = small_file(2, {.numrecs = 0xFFFFFFFF});
    bytes.resize(bytes.size() - 6);  // the second record is not complete
    const TempFile file(bytes);
    auto nc = Netcdf3File::open(file.path());
    ASSERT_TRUE(nc) << nc.error().message;
    EXPECT_EQ(nc->shape("R"), (std::vector<std::uint64_t>{1, 3}));
}

TEST(Netcdf3, MalformedHeadersAreRefused) {
    const Image good = small_file(1);
    struct Case {
        const char* what;
        Image bytes;
        const char* message;
    };
    Image truncated(good.begin(), good.begin() + 40);
    Image bad_version = good;
    bad_version[3] = 3;
    Image short_record = good;
    short_record.resize(good.size() - 2);
    // A header whose R data sit on A's.
    const std::uint64_t a_at = good.size() - 12 - 12;
    const std::vector<Case> cases = {
        {"truncated", truncated, "Malformed netCDF classic header: truncated"},
        {"version 3", bad_version, "Unsupported netCDF classic format version 3"},
        {"absurd dimension count", small_file(1, {.dims = 0x7FFFFFFF}),
         "Malformed netCDF classic header: 2147483647 dimensions"},
        {"data inside the header", small_file(1, {.a_begin = 8}),
         "Malformed netCDF classic header: data of 'A' begin inside the header"},
        {"overlapping data", small_file(1, {.a_begin = a_at, .r_begin = a_at + 4}),
         "Malformed netCDF classic header: data of 'A' and the records overlap"},
        {"records past 2^64", small_file(5, {.numrecs = 0x7FFFFFFFFFFFFFFF}),
         "Malformed netCDF classic header: 9223372036854775807 records"},
        {"more records than the file holds", small_file(2, {.numrecs = 3}),
         "Malformed netCDF classic header: record count 3 but the file holds 2 whole records"},
        {"last record cut short", short_record,
         "Malformed netCDF classic header: record count 2 but the file holds 1 whole record"},
        {"CDF-5 type in CDF-1", small_file(1, {.r_type = 9}), "Malformed netCDF classic header: unknown type 9 of 'R'"},
        {"unknown type", small_file(5, {.r_type = 12}), "Malformed netCDF classic header: unknown type 12 of 'R'"},
    };
    for (const Case& c : cases) {
        const TempFile file(c.bytes);
        const auto nc = Netcdf3File::open(file.path());
        ASSERT_FALSE(nc) << c.what;
        EXPECT_EQ(nc.error().kind, ErrorKind::NetCdf) << c.what;
        EXPECT_EQ(nc.error().message, c.message) << c.what;
    }
}

}  // namespace
}  // namespace tarq::testing
