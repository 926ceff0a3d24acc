#include "lamp_command.h"

#include <gtest/gtest.h>

#include "recording_platform.h"

namespace {

class LampCommandTest : public ::testing::Test {
  protected:
    void SetUp() override { fake::Reset(); }
    fake::Platform& platform = fake::State();
};

TEST_F(LampCommandTest, SendsTheModeAsFourLittleEndianBytesAndClosesTheDevice) {
    const struct {
        LampMode mode;
        fake::Bytes input;
    } cases[] = {{LampModeOn, {1, 0, 0, 0}}, {LampModeOff, {2, 0, 0, 0}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        fake::Reset();
        SendLampCommand(c.mode);

        EXPECT_EQ(platform.CallNames(),
                  (std::vector<std::string>{"CreateFileW", "DeviceIoControl", "CloseHandle"}));
        ASSERT_EQ(platform.createFileCalls.size(), 1u);
        const fake::CreateFileArguments& open = platform.createFileCalls[0];
        EXPECT_EQ(open.name, u"CIF1:");
        EXPECT_EQ(open.access, 0x80000000u);
        EXPECT_EQ(open.shareMode, 0u);
        EXPECT_FALSE(open.securityGiven);
        EXPECT_EQ(open.disposition, 3u);
        EXPECT_EQ(open.flags, 0u);
        EXPECT_FALSE(open.templateGiven);

        ASSERT_EQ(platform.ioControlCalls.size(), 1u);
        const fake::IoControlArguments& request = platform.ioControlCalls[0];
        EXPECT_EQ(request.device, fake::DeviceHandle());
        EXPECT_EQ(request.code, 0x90002014u);
        EXPECT_EQ(request.input, c.input);
        EXPECT_FALSE(request.outputGiven);
        EXPECT_EQ(request.outputSize, 0u);
        EXPECT_TRUE(request.bytesReturnedGiven);  // required of a synchronous call
        EXPECT_FALSE(request.overlappedGiven);

        EXPECT_EQ(platform.closedHandles, std::vector<HANDLE>{fake::DeviceHandle()});
    }
}

TEST_F(LampCommandTest, RefusedRequestStillClosesTheDevice) {
    platform.ioControlResult = FALSE;
    SendLampCommand(LampModeOn);
    EXPECT_EQ(platform.closedHandles, std::vector<HANDLE>{fake::DeviceHandle()});
}

TEST_F(LampCommandTest, AbsentDeviceGetsNoRequestAndNoClose) {
    platform.devicePresent = false;
    SendLampCommand(LampModeOn);
    EXPECT_EQ(platform.CallNames(), std::vector<std::string>{"CreateFileW"});
}

}  // namespace
