// Whole launches of the Windows program under Wine, whose registry is the
// platform's own: the state is read back only through `reg export`.
#include <gtest/gtest.h>
#include <unistd.h>

#include "hive_file.h"
#include "winapi.h"
#include "wine.h"

namespace {

using lumivarden::host::Bytes;
using lumivarden::host::HiveValue;
using testing_support::TempDir;
using testing_support::Utf16Bytes;

const std::string StateKey = "Software\\Lumivarden";

class WineLaunchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const auto why = testing_wine::Unavailable()) GTEST_SKIP() << *why;
        testing_wine::Run({"reg", "delete", "HKCU\\" + StateKey, "/f"}, work.path());
    }

    int Launch() {
        return testing_wine::Run({testing_wine::WindowsProgram(), "--ignored", "argument"},
                                 work.path())
            .exitStatus;
    }

    void Add(const std::string& name, const std::string& type, const std::string& data) {
        ASSERT_EQ(testing_wine::Run(
                      {"reg", "add", "HKCU\\" + StateKey, "/v", name, "/t", type, "/d", data, "/f"},
                      work.path())
                      .exitStatus,
                  0);
    }

    // A value under the state key as the platform's registry holds it.
    std::optional<HiveValue> Value(const std::u16string& name) {
        const auto hive = testing_wine::Export(StateKey, work.path());
        if (!hive) return std::nullopt;
        const auto* key = lumivarden::host::FindKey(*hive, u"Software\\Lumivarden");
        if (key == nullptr) return std::nullopt;
        const auto* value = lumivarden::host::FindValue(*key, name);
        return value != nullptr ? std::optional<HiveValue>(*value) : std::nullopt;
    }

    static HiveValue Text(const char16_t* name, std::u16string_view text) {
        return HiveValue{name, REG_SZ, Utf16Bytes(text, true)};
    }

    TempDir work;
};

// There is no "CIF1:" under Wine, so every request fails to open: the launch
// must still end with 0 and keep its state.
TEST_F(WineLaunchTest, AlternatesOnOffOnWithoutALampDriver) {
    Add("Other", "REG_BINARY", "00ff");
    for (const char16_t* expected : {u"1", u"2", u"1"}) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(expected)));
        ASSERT_EQ(Launch(), 0);
        EXPECT_EQ(Value(u"Enabled"), Text(u"Enabled", expected));
    }
    EXPECT_EQ(Value(u"Other"), (HiveValue{u"Other", REG_BINARY, Bytes{0x00, 0xff}}));
}

TEST_F(WineLaunchTest, ReadsTheLastStateWhateverItsShape) {
    struct Shape {
        const char* type;
        const char* data;
        const char16_t* stored;
    };
    for (const Shape& s : std::initializer_list<Shape>{
             {"REG_SZ", "1", u"2"},
             {"REG_SZ", "2", u"1"},
             {"REG_SZ", "", u"1"},
             {"REG_SZ", "1 ", u"1"},
             {"REG_SZ", "01", u"1"},
             {"REG_DWORD", "1", u"1"},      // the character U+0001, not "1"
             {"REG_BINARY", "3100", u"2"},  // "1" with no NUL
             {"REG_BINARY", "31", u"1"},    // half a character
             {"REG_EXPAND_SZ", "1", u"2"},  // the type is not examined
             {"REG_MULTI_SZ", "1\\0x", u"2"},
         }) {
        SCOPED_TRACE(std::string(s.type) + " \"" + s.data + "\"");
        Add("Enabled", s.type, s.data);
        ASSERT_EQ(Launch(), 0);
        EXPECT_EQ(Value(u"Enabled"), Text(u"Enabled", s.stored));
    }
}

}  // namespace
