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
    const std::uint32_t mode = device::LoadLe32(request.input);
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
    // Built by appending: GCC 12 warns falsely (-Wrestrict) on a chain of + here.
    std::string line = "control code=" + Hex32(request.code);
    line += " input=";
    const std::uint32_t shown = std::min(request.inputLength, LoggedInputBytes);
    for (std::uint32_t i = 0; i < shown; ++i) {
        line += digits[request.input[i] >> 4];
        line += digits[request.input[i] & 0xF];
    }
    if (request.inputLength == 0) line += '-';
    if (shown < request.inputLength) {
        line += "... (";
        line += std::to_string(request.inputLength);
        line += " bytes)";
    }
    line += " output=";
    line += std::to_string(request.outputCapacity);
    line += " status=";
    line += std::to_string(status);
    return line;
}

}  // namespace lumivarden::lampd
