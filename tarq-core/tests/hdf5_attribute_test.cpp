// Attribute messages and the root group's attribute table, on hand-made bytes.

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "hdf5/attribute.h"
#include "hdf5/hdf5_file.h"
#include "hdf5_test_bytes.h"

namespace tarq::testing {
namespace {

// Version 1 attribute message: name, datatype and dataspace each padded to 8.
Image attribute_v1(std::string_view name, const Image& type, const Image& space, const Image& data) {
    const auto pad = [](Image bytes) {
        bytes.resize((bytes.size() + 7) / 8 * 8, 0);
        return bytes;
    };
    const Image name_bytes = concat({text(name), Image{0}});
    return concat({fields({{1, 1}, {0, 1}, {name_bytes.size(), 2}, {type.size(), 2}, {space.size(), 2}}), pad(name_bytes),
                   pad(type), pad(space), data});
}

// Version 3 attribute message: character set byte, fields packed.
Image attribute_v3(std::string_view name, const Image& type, const Image& space, const Image& data) {
    const Image name_bytes = concat({text(name), Image{0}});
    return concat({fields({{3, 1}, {0, 1}, {name_bytes.size(), 2}, {type.size(), 2}, {space.size(), 2}, {0, 1}}),
                   name_bytes, type, space, data});
}

const Image kScalar = fields({{2, 1}, {0, 1}, {0, 1}, {0, 1}});

TEST(Hdf5Attribute, ValuesByType) {
    struct Case {
        const char* what;
        Image message;
        decltype(AttrValue::value) expected;
    };
    const std::vector<Case> cases = {
        {"f32", attribute_v3("DX", float_type(4), kScalar, fields({{0x453B8000, 4}})), {3000.0f}},
        {"f64", attribute_v1("DY", float_type(8), kScalar, fields({{0x4000000000000000ull, 8}})), {2.0}},
        {"i32", attribute_v3("N", int_type(4, true), kScalar, fields({{0xFFFFFFFB, 4}})), {std::int32_t{-5}}},
        {"big-endian i32", attribute_v3("B", int_type(4, true, true), kScalar, Image{0xFF, 0xFF, 0xFF, 0xFB}),
         {std::int32_t{-5}}},
        {"u32 above 2^31", attribute_v3("U", int_type(4, false), kScalar, fields({{3000000000u, 4}})), {3e9}},
        {"array gives its first element", attribute_v3("A", float_type(4), dataspace({3}),
                                                       fields({{0x3FC00000, 4}, {0x40200000, 4}, {0, 4}})), {1.5f}},
        {"text", attribute_v3("T", fields({{0x13, 1}, {0, 3}, {5, 4}}), kScalar, text("hello")), {std::string("hello")}},
        {"text of 5 elements", attribute_v3("T", fields({{0x13, 1}, {0, 3}, {1, 4}}), dataspace({5}), concat({text("hi"), Image(3, 0)})),
         {std::string("hi")}},
        {"1-byte integer is text", attribute_v3("I", int_type(1, true), dataspace({2}), text("ab")), {std::string("ab")}},
        {"8-byte integer is text", attribute_v3("L", int_type(8, true), kScalar, concat({text("xyz"), Image(5, 0)})),
         {std::string("x")}},
    };
    for (const Case& c : cases) {
        const auto parsed = hdf5::parse_attribute_message(c.message);
        ASSERT_TRUE(parsed) << c.what << ": " << parsed.error().message;
        EXPECT_EQ(parsed->value.value, c.expected) << c.what;
    }
}

// Packing and masking attributes (an int8 _FillValue, a two-element
// valid_range) need every element of every numeric type, whichever variant
// holds the value; text has none.
TEST(Hdf5Attribute, NumbersOfEveryNumericType) {
    const std::vector<std::pair<Image, std::vector<double>>> cases = {
        {attribute_v3("F", int_type(2, true, true), kScalar, Image{0x80, 0x01}), {-32767.0}},
        {attribute_v3("U", int_type(2, false), kScalar, Image{0xFF, 0xFF}), {65535.0}},
        {attribute_v3("L", int_type(8, true), kScalar, Image(8, 0xFF)), {-1.0}},
        {attribute_v3("S", float_type(4), kScalar, fields({{0x3E000000, 4}})), {0.125}},
        {attribute_v3("B", int_type(1, true), kScalar, Image{0xFF}), {-1.0}},
        {attribute_v3("UB", int_type(1, false), dataspace({2}), Image{0xFF, 0x01}), {255.0, 1.0}},
        {attribute_v3("R", int_type(2, true), dataspace({2}), fields({{0xFFFF, 2}, {7, 2}})), {-1.0, 7.0}},
        {attribute_v3("T", fields({{0x13, 1}, {0, 3}, {5, 4}}), kScalar, text("hello")), {}},
    };
    for (const auto& [message, numbers] : cases) {
        const auto parsed = hdf5::parse_attribute_message(message);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->value.numbers, numbers) << parsed->name;
    }
}

TEST(Hdf5Attribute, Version1AlignsFieldsVersion2PacksThem) {
    // An 11-byte name (with its NUL): version 1 puts the datatype at 24,
    // version 2 at 19.
    const Image v1 = attribute_v1("ABCDEFGHIJ", float_type(8), kScalar, fields({{0x4008000000000000ull, 8}}));
    EXPECT_EQ(v1[24], 0x11);
    EXPECT_EQ(std::get<double>(hdf5::parse_attribute_message(v1)->value.value), 3.0);
    const Image name = concat({text("ABCDEFGHIJ"), Image{0}});
    const Image v2 = concat({fields({{2, 1}, {0, 1}, {11, 2}, {float_type(8).size(), 2}, {kScalar.size(), 2}}), name, float_type(8), kScalar,
                             fields({{0x4008000000000000ull, 8}})});
    EXPECT_EQ(v2[19], 0x11);
    const auto parsed = hdf5::parse_attribute_message(v2);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->name, "ABCDEFGHIJ");
    EXPECT_EQ(std::get<double>(parsed->value.value), 3.0);
}

TEST(Hdf5Attribute, MalformedMessages) {
    const Image good = attribute_v3("DX", float_type(8), kScalar, fields({{0, 8}}));
    const auto with = [&](std::size_t at, std::uint64_t value, std::size_t width) {
        Image m = good;
        put(m, at, value, width);
        return m;
    };
    struct Case {
        Image message;
        const char* error;
    };
    const std::vector<Case> cases = {
        {Image(5, 1), "Attribute message too short"},
        {Image{3, 0, 0, 0, 0, 0, 0, 0}, "Attribute message too short"},
        {with(0, 4, 1), "Unsupported attribute version 4"},
        {with(2, 200, 2), "Attribute name overflow"},
        {with(4, 200, 2), "Attribute datatype overflow"},
        {with(6, 200, 2), "Attribute dataspace overflow"},
        {attribute_v3("D", float_type(8), kScalar, Image(7, 0)), "F64 attr data too short"},
        {attribute_v3("F", float_type(4), kScalar, Image(3, 0)), "F32 attr data too short"},
        {attribute_v3("I", int_type(4, true), kScalar, Image(3, 0)), "I32 attr data too short"},
    };
    for (const Case& c : cases) EXPECT_EQ(hdf5::parse_attribute_message(c.message).error().message, c.error);
}

TEST(Hdf5Attribute, RootTableLookups) {
    const Image messages = concat({
        v2_message(12, attribute_v3("DX", float_type(4), kScalar, fields({{0x453B8000, 4}}))),
        v2_message(12, attribute_v3("TITLE", fields({{0x13, 1}, {0, 3}, {3, 4}}), kScalar, text("abc"))),
        v2_message(12, attribute_v3("BROKEN", float_type(8), kScalar, Image(2, 0))),
        v2_message(12, attribute_v3("DX", float_type(8), kScalar, fields({{0x40A7700000000000ull, 8}}))),
    });
    const TempFile file(file_with_links({}, {}, messages));
    const auto h5 = Hdf5File::open(file.path());
    ASSERT_TRUE(h5) << h5.error().message;
    EXPECT_EQ(*h5->attr_f64("DX"), 3000.0);  // the later message wins
    EXPECT_EQ(h5->attr_f64("TITLE").error().kind, ErrorKind::AttrType);
    EXPECT_EQ(h5->attr_f64("TITLE").error().message, "'TITLE' is not numeric");
    EXPECT_EQ(h5->attr_f64("BROKEN").error().kind, ErrorKind::AttrNotFound);
    EXPECT_EQ(h5->attr_f64("dx").error().message, "dx");
    EXPECT_EQ(h5->attribute_names(), (std::vector<std::string>{"DX", "TITLE"}));
}

}  // namespace
}  // namespace tarq::testing
