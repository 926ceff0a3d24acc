#include "state_store.h"

#include <gtest/gtest.h>

#include "recording_platform.h"

namespace {

using fake::Bytes;
using fake::Utf16;

class StateStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { fake::Reset(); }
    fake::Platform& platform = fake::State();
};

struct ReadCase {
    const char* name;
    DWORD type;
    Bytes data;
    std::u16string expected;
};

void PrintTo(const ReadCase& c, std::ostream* out) {
    *out << c.name;
}

class ReadEnabledTest : public StateStoreTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadEnabledTest, TakesTheDataAsTextUpToItsFirstNul) {
    platform.enabled = fake::Value{GetParam().type, GetParam().data};
    EXPECT_EQ(ReadEnabled(fake::StateKeyHandle()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ReadEnabledTest,
    ::testing::Values(ReadCase{"TextWithNul", REG_SZ, Utf16(u"1"), u"1"},
                      ReadCase{"TextWithoutNul", REG_SZ, Utf16(u"1", false), u"1"},
                      ReadCase{"LongerTextWithoutNul", REG_BINARY, Utf16(u"12", false), u"12"},
                      ReadCase{"ZeroBytes", REG_SZ, {}, u""},
                      ReadCase{"DataAfterTheNul", REG_SZ, {'1', 0, 0, 0, '2', 0, 0, 0}, u"1"},
                      ReadCase{"DwordOne", REG_DWORD, {1, 0, 0, 0}, u"\u0001"},
                      ReadCase{"OddByteDropped", REG_BINARY, {'1', 0, '2'}, u"1"},
                      ReadCase{"SingleByte", REG_BINARY, {'1'}, u""},
                      ReadCase{"NonAsciiText", REG_SZ, Utf16(u"\u00e9\u4e2d"), u"\u00e9\u4e2d"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StateStoreTest, AbsentValueReadsAsEmptyAfterOneQuery) {
    EXPECT_EQ(ReadEnabled(fake::StateKeyHandle()), u"");
    EXPECT_EQ(platform.CallNames(), std::vector<std::string>{"RegQueryValueExW"});
}

TEST_F(StateStoreTest, ValueThatGrowsBetweenTheTwoReadsReadsAsEmpty) {
    // The sizing query sees "2"; before the read, another program stores a longer
    // value, so the read fails and leaves the buffer undefined (the fake fills it with "1"s).
    platform.enabled = fake::Value{REG_SZ, Utf16(u"2")};
    platform.enabledAfterSizing = fake::Value{REG_SZ, Utf16(u"1111")};
    EXPECT_EQ(ReadEnabled(fake::StateKeyHandle()), u"");
}

TEST_F(StateStoreTest, TextNeverRunsPastTheBytesTheReadReports) {
    platform.enabled = fake::Value{REG_BINARY, Utf16(u"1", false)};
    platform.trailingGarbage = Utf16(u"23", false);
    EXPECT_EQ(ReadEnabled(fake::StateKeyHandle()), u"1");
}

TEST_F(StateStoreTest, WritesTheTextAsSzWithItsNul) {
    EXPECT_EQ(WriteEnabled(fake::StateKeyHandle(), StateText(u"2")), ERROR_SUCCESS);
    ASSERT_EQ(platform.setValueCalls.size(), 1u);
    const fake::SetValueArguments& call = platform.setValueCalls[0];
    EXPECT_EQ(call.name, u"Enabled");
    EXPECT_EQ(call.reserved, 0u);
    EXPECT_EQ(call.type, REG_SZ);
    EXPECT_EQ(call.data, (Bytes{0x32, 0x00, 0x00, 0x00}));
}

TEST_F(StateStoreTest, OpensTheKeyUnderTheCurrentUserWithFullAccess) {
    HKEY key = nullptr;
    ASSERT_EQ(OpenStateKey(&key), ERROR_SUCCESS);
    EXPECT_EQ(key, fake::StateKeyHandle());
    ASSERT_EQ(platform.createKeyCalls.size(), 1u);
    const fake::CreateKeyArguments& call = platform.createKeyCalls[0];
    EXPECT_EQ(call.root, HKEY_CURRENT_USER);
    EXPECT_EQ(call.subKey, u"Software\\Lumivarden");
    EXPECT_EQ(call.reserved, 0u);
    EXPECT_FALSE(call.classGiven);
    EXPECT_EQ(call.options, 0u);
    EXPECT_EQ(call.access, 0xF003Fu);
    EXPECT_FALSE(call.securityGiven);
    EXPECT_TRUE(call.dispositionGiven);
    CloseStateKey(key);
    EXPECT_EQ(platform.openKeys, 0);
}

TEST_F(StateStoreTest, OpenFailureIsReported) {
    platform.createKeyStatus = ERROR_ACCESS_DENIED;
    HKEY key = nullptr;
    EXPECT_EQ(OpenStateKey(&key), ERROR_ACCESS_DENIED);
}

}  // namespace
