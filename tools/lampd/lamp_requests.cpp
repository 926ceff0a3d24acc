#include "lamp_requests.h"

#include <algorithm>
#include <cstdio>

namespace lumivarden::lampd {
namespace {

std::string Hex32(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

}  // namespace

ControlOutcome HandleControl(const device::Request& request) {
    ControlOutcome outcome;
    if (request.code != LampControlCode || request.inputLength != 4) return outcome;
    const std::uint32_t mode = device::GetU32(request.input);
    if (mode == LampModeOn || mode == LampModeOff) {
        outcome.status = ERROR_SUCCESS;
        outcome.lamp = mode == LampModeOn ? Lamp::On : Lamp::Off;
    }
    return outcome;
}

std::string DescribeOpen(const device::Request& request, std::uint32_t status) {
    return "open access=" + Hex32(request.access) + " share=" + Hex32(request.shareMode) +
           " status=" + std::to_string(status);
}

std::string DescribeControl(const device::Request& request, std::uint32_t status) {
    static const char digits[] = "0123456789abcdef";
    std::string input;
    const std::uint32_t shown = std::min(request.inputLength, LoggedInputBytes);
    for (std::uint32_t i = 0; i < shown; ++i) {
        input.push_back(digits[request.input[i] >> 4]);
        input.push_back(digits[request.input[i] & 0xF]);
    }
    if (request.inputLength == 0) input = "-";
    if (shown < request.inputLength) {
        input += "... (" + std::to_string(request.inputLength) + " bytes)";
    }
    return "control code=" + Hex32(request.code) + " input=" + input +
           " output=" + std::to_string(request.outputCapacity) +
           " status=" + std::to_string(status);
}

}  // namespace lumivarden::lampd
