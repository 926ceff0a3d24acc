#include "hive_text.h"

#include <gtest/gtest.h>

#include "hive_file.h"
#include "test_support.h"
#include "winapi.h"

namespace {

using namespace std::literals;
using lumivarden::host::Bytes;
using lumivarden::host::Hive;
using lumivarden::host::HiveKey;
using lumivarden::host::HiveValue;
using lumivarden::host::ParseHive;
using lumivarden::host::WriteHive;
using testing_support::HiveFileBytes;
using testing_support::HiveFileText;

std::optional<Hive> Parse(const std::string& bytes) {
    return ParseHive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

Bytes Utf16(std::u16string_view text) {
    return testing_support::Utf16Bytes(text, false);
}

Hive OneKey(std::vector<HiveValue> values) {
    Hive hive;
    hive.keys.push_back(HiveKey{u"Software", {}});
    hive.keys.push_back(HiveKey{u"Software\\Test", std::move(values)});
    return hive;
}

struct ShapeCase {
    const char* name;
    HiveValue value;
    std::string line;  // how the value is written
};

void PrintTo(const ShapeCase& c, std::ostream* out) {
    *out << c.name;
}

class ValueShapeTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(ValueShapeTest, IsWrittenInTheEditorsFormAndReadBackExactly) {
    const Hive hive = OneKey({GetParam().value});
    const std::string bytes = WriteHive(hive);
    EXPECT_EQ(HiveFileText(bytes),
              "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Test]\n" +
                  GetParam().line + "\n\n");
    const std::optional<Hive> back = Parse(bytes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, hive);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ValueShapeTest,
    ::testing::Values(
        ShapeCase{"Text", {u"v", REG_SZ, Utf16(u"1\0"sv)}, R"("v"="1")"},
        ShapeCase{"EmptyText", {u"v", REG_SZ, {0, 0}}, R"("v"="")"},
        ShapeCase{"EscapedText",
                  {u"a\"b\\", REG_SZ, Utf16(u"c:\\x \"q\"\0"sv)},
                  R"("a\"b\\"="c:\\x \"q\"")"},
        ShapeCase{"NonAsciiText",
                  {u"\u00e9", REG_SZ, Utf16(u"\u4e2d\U0001F4A1\0"sv)},
                  "\"\u00e9\"=\"\u4e2d\U0001F4A1\""},
        ShapeCase{"DefaultValue", {u"", REG_SZ, Utf16(u"d\0"sv)}, R"(@="d")"},
        ShapeCase{"TextWithoutNul", {u"v", REG_SZ, Utf16(u"1")}, R"("v"=hex(1):31,00)"},
        ShapeCase{"TextWithDataAfterNul",
                  {u"v", REG_SZ, Utf16(u"1\0002\0"sv)},
                  R"("v"=hex(1):31,00,00,00,32,00,00,00)"},
        ShapeCase{"TextWithLineBreak",
                  {u"v", REG_SZ, Utf16(u"a\nb\0"sv)},
                  R"("v"=hex(1):61,00,0a,00,62,00,00,00)"},
        ShapeCase{"TextOfOddSize", {u"v", REG_SZ, {0x31, 0x00, 0x00}}, R"("v"=hex(1):31,00,00)"},
        ShapeCase{"TextOfZeroBytes", {u"v", REG_SZ, {}}, R"("v"=hex(1):)"},
        ShapeCase{"Dword", {u"v", REG_DWORD, {0x0a, 0, 0, 0x80}}, R"("v"=dword:8000000a)"},
        ShapeCase{"DwordOfThreeBytes", {u"v", REG_DWORD, {1, 2, 3}}, R"("v"=hex(4):01,02,03)"},
        ShapeCase{"Binary", {u"v", REG_BINARY, {0x00, 0xff, 0x10}}, R"("v"=hex:00,ff,10)"},
        ShapeCase{"EmptyBinary", {u"v", REG_BINARY, {}}, R"("v"=hex:)"},
        ShapeCase{"ExpandText",
                  {u"v", REG_EXPAND_SZ, Utf16(u"%a%\0"sv)},
                  R"("v"=hex(2):25,00,61,00,25,00,00,00)"},
        ShapeCase{"Qword",
                  {u"v", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}},
                  R"("v"=hex(b):01,00,00,00,00,00,00,00)"},
        ShapeCase{"NoneType", {u"v", REG_NONE, {7}}, R"("v"=hex(0):07)"},
        ShapeCase{"LargeType", {u"v", 0xfedcba98, {7}}, R"("v"=hex(fedcba98):07)"},
        ShapeCase{"LongBinaryWraps",
                  {u"v", REG_BINARY, Bytes(30, 0xab)},
                  "\"v\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,"
                  "\\\n  ab,ab,ab,ab,ab,ab,ab"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HiveText, EmptyHiveIsJustTheHeader) {
    EXPECT_EQ(HiveFileText(WriteHive(Hive{})), "Windows Registry Editor Version 5.00\n\n");
    EXPECT_EQ(Parse(WriteHive(Hive{})), Hive{});
}

TEST(HiveText, ReadsWhatOtherToolsWrite) {
    const std::optional<Hive> hive =
        Parse(HiveFileBytes("Windows Registry Editor Version 5.00\n"
                            "\n"
                            "; exported by hand\n"
                            "[hkey_current_user\\Deep\\Path\\Key]\n"
                            "\"Bin\" = hex:0A,0b,\\\n"
                            "    0C\n"
                            "\"Twice\"=\"first\"\n"
                            "\"twice\"=dword:1\n"
                            "\"Lines\"=\"a\\r\\nb\\0\"\n"
                            "\n"
                            "[HKEY_CURRENT_USER]\n"
                            "@=\"root default\"\n"));
    ASSERT_TRUE(hive.has_value());
    Hive expected;
    expected.keys[0].values.push_back({u"", REG_SZ, Utf16(u"root default\0"sv)});
    expected.keys.push_back({u"Deep", {}});
    expected.keys.push_back({u"Deep\\Path", {}});
    expected.keys.push_back({u"Deep\\Path\\Key",
                             {{u"Bin", REG_BINARY, {0x0a, 0x0b, 0x0c}},
                              {u"Twice", REG_DWORD, {1, 0, 0, 0}},
                              {u"Lines", REG_SZ, Utf16(u"a\r\nb\0\0"sv)}}});
    EXPECT_EQ(*hive, expected);
}

TEST(HiveText, AcceptsLineFeedsWithoutCarriageReturns) {
    std::string bytes =
        HiveFileBytes("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n");
    std::string lfOnly;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        if (bytes[i] != '\r' || bytes[i + 1] != 0) lfOnly.append(bytes, i, 2);
    }
    ASSERT_TRUE(Parse(lfOnly).has_value());
}

struct MalformedCase {
    const char* name;
    std::string bytes;
};

void PrintTo(const MalformedCase& c, std::ostream* out) {
    *out << c.name;
}

class MalformedHiveTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedHiveTest, IsRefused) {
    EXPECT_FALSE(Parse(GetParam().bytes).has_value());
}

std::string WithHeader(const std::string& body) {
    return HiveFileBytes("Windows Registry Editor Version 5.00\n\n" + body);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedHiveTest,
    ::testing::Values(MalformedCase{"Empty", ""},
                      MalformedCase{"NoByteOrderMark", WithHeader("").substr(2)},
                      MalformedCase{"OddLength", WithHeader("") + "\n"},
                      MalformedCase{"TextAfterHeader",
                                    HiveFileBytes("Windows Registry Editor Version 5.00x\n")}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
