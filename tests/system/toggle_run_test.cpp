#include "toggle_run.h"

#include <gtest/gtest.h>

#include <optional>

#include "lamp_mode.h"
#include "recording_platform.h"

namespace {

using fake::Bytes;
using fake::Utf16;

class ToggleRunTest : public ::testing::Test {
  protected:
    void SetUp() override { fake::Reset(); }
    fake::Platform& platform = fake::State();
};

struct DecisionCase {
    const char* name;
    std::optional<fake::Value> remembered;
    std::u16string stored;
    DWORD mode;
};

void PrintTo(const DecisionCase& c, std::ostream* out) {
    *out << c.name;
}

class DecisionTest : public ToggleRunTest, public ::testing::WithParamInterface<DecisionCase> {};

TEST_P(DecisionTest, StoresAndSendsTheOppositeOfWhatWasRemembered) {
    platform.enabled = GetParam().remembered;
    ASSERT_EQ(ToggleLamp(0, nullptr), 0);

    ASSERT_EQ(platform.setValueCalls.size(), 1u);
    EXPECT_EQ(platform.setValueCalls[0].type, REG_SZ);
    EXPECT_EQ(platform.setValueCalls[0].data, Utf16(GetParam().stored));
    ASSERT_EQ(platform.ioControlCalls.size(), 1u);
    const Bytes mode = {static_cast<BYTE>(GetParam().mode), 0, 0, 0};
    EXPECT_EQ(platform.ioControlCalls[0].input, mode);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DecisionTest,
    ::testing::Values(
        DecisionCase{"Absent", std::nullopt, u"1", LampModeOn},
        DecisionCase{"Empty", fake::Value{REG_SZ, Utf16(u"")}, u"1", LampModeOn},
        DecisionCase{"One", fake::Value{REG_SZ, Utf16(u"1")}, u"2", LampModeOff},
        DecisionCase{"OneWithoutNul", fake::Value{REG_BINARY, Utf16(u"1", false)}, u"2",
                     LampModeOff},
        DecisionCase{"Two", fake::Value{REG_SZ, Utf16(u"2")}, u"1", LampModeOn},
        DecisionCase{"Zero", fake::Value{REG_SZ, Utf16(u"0")}, u"1", LampModeOn},
        DecisionCase{"LeadingZero", fake::Value{REG_SZ, Utf16(u"01")}, u"1", LampModeOn},
        DecisionCase{"TrailingSpace", fake::Value{REG_SZ, Utf16(u"1 ")}, u"1", LampModeOn},
        DecisionCase{"On", fake::Value{REG_SZ, Utf16(u"on")}, u"1", LampModeOn},
        DecisionCase{"True", fake::Value{REG_SZ, Utf16(u"true")}, u"1", LampModeOn},
        DecisionCase{"DwordOne", fake::Value{REG_DWORD, {1, 0, 0, 0}}, u"1", LampModeOn}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ToggleRunTest, StoresBeforeCommandingAndKeepsTheKeyOpenUntilTheCommandReturns) {
    platform.enabled = fake::Value{REG_SZ, Utf16(u"2")};
    ASSERT_EQ(ToggleLamp(0, nullptr), 0);

    EXPECT_EQ(platform.CallNames(),
              (std::vector<std::string>{"RegCreateKeyExW", "RegQueryValueExW", "RegQueryValueExW",
                                        "RegSetValueExW", "CreateFileW", "DeviceIoControl",
                                        "CloseHandle", "RegCloseKey"}));
    for (const fake::Call& call : platform.calls) {
        if (call.function != "RegCreateKeyExW") {
            EXPECT_TRUE(call.keyOpen) << call.function;
        }
    }
    EXPECT_EQ(platform.openKeys, 0);
}

TEST_F(ToggleRunTest, KeyThatCannotBeOpenedEndsTheRunWithMinusOne) {
    platform.createKeyStatus = ERROR_ACCESS_DENIED;
    EXPECT_EQ(ToggleLamp(0, nullptr), -1);
    EXPECT_EQ(platform.CallNames(), std::vector<std::string>{"RegCreateKeyExW"});
}

TEST_F(ToggleRunTest, MissingDeviceStillStoresTheStateAndReturnsZero) {
    platform.devicePresent = false;
    ASSERT_EQ(ToggleLamp(0, nullptr), 0);
    EXPECT_EQ(platform.CallNames(),
              (std::vector<std::string>{"RegCreateKeyExW", "RegQueryValueExW", "RegSetValueExW",
                                        "CreateFileW", "RegCloseKey"}));
    ASSERT_TRUE(platform.enabled.has_value());
    EXPECT_EQ(platform.enabled->data, Utf16(u"1"));
}

TEST_F(ToggleRunTest, ArgumentsChangeNothing) {
    WCHAR first[] = u"lumivarden";
    WCHAR second[] = u"--off";
    WCHAR* arguments[] = {first, second, nullptr};
    platform.enabled = fake::Value{REG_SZ, Utf16(u"1")};
    ASSERT_EQ(ToggleLamp(2, arguments), 0);
    EXPECT_EQ(platform.enabled->data, Utf16(u"2"));
}

TEST_F(ToggleRunTest, LaunchesAlternateOnOffOn) {
    std::vector<Bytes> sent;
    for (int launch = 0; launch < 3; ++launch) {
        ASSERT_EQ(ToggleLamp(0, nullptr), 0);
        sent.push_back(platform.ioControlCalls.back().input);
    }
    EXPECT_EQ(sent, (std::vector<Bytes>{{1, 0, 0, 0}, {2, 0, 0, 0}, {1, 0, 0, 0}}));
}

}  // namespace
