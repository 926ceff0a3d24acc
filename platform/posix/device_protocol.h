// The frames that pass between a device client and a stand-in driver over a
// Unix stream socket. Every field is an unsigned 32-bit little-endian integer.
//
//   open:     client -> op=1, access, share mode          driver -> status
//   control:  client -> op=2, code, input length, output capacity, input bytes
//             driver -> status, output length, output bytes
//   close:    the client closes the socket
#ifndef LUMIVARDEN_POSIX_DEVICE_PROTOCOL_H
#define LUMIVARDEN_POSIX_DEVICE_PROTOCOL_H

#include <array>
#include <cstddef>
#include <cstdint>

#include "little_endian.h"

namespace lumivarden::device {

using host::LoadLe32;
using host::StoreLe32;

constexpr std::uint32_t OpOpen = 1;
constexpr std::uint32_t OpControl = 2;

constexpr std::size_t OpenRequestSize = 12;
constexpr std::size_t OpenReplySize = 4;
constexpr std::size_t ControlHeaderSize = 16;
constexpr std::size_t ControlReplyHeaderSize = 8;

// Neither side takes a frame larger than this; a peer that sends one is broken.
constexpr std::uint32_t MaxPayload = 64 * 1024;

// The fixed-size frames, as each side sends them. The control request's input
// bytes follow its header; a reply's output bytes follow its header.
std::array<std::uint8_t, OpenRequestSize> EncodeOpenRequest(std::uint32_t access,
                                                            std::uint32_t shareMode);
std::array<std::uint8_t, ControlHeaderSize> EncodeControlHeader(std::uint32_t code,
                                                                std::uint32_t inputLength,
                                                                std::uint32_t outputCapacity);
std::array<std::uint8_t, OpenReplySize> EncodeOpenReply(std::uint32_t status);
std::array<std::uint8_t, ControlReplyHeaderSize> EncodeControlReplyHeader(
    std::uint32_t status, std::uint32_t outputLength);

// One client frame as the driver sees it.
struct Request {
    enum class Kind { Incomplete, Open, Control, Invalid } kind = Kind::Incomplete;
    std::size_t frameSize = 0;  // bytes the frame takes, once complete
    std::uint32_t access = 0;
    std::uint32_t shareMode = 0;
    std::uint32_t code = 0;
    std::uint32_t outputCapacity = 0;
    const std::uint8_t* input = nullptr;
    std::uint32_t inputLength = 0;
};

// Decodes the frame at the start of the bytes received so far. Invalid means
// an unknown operation or an input longer than MaxPayload: the stream cannot
// be trusted past it.
Request DecodeRequest(const std::uint8_t* data, std::size_t size);

// The driver's answer to a control request, as the client sees its header.
struct ControlReply {
    bool valid = false;  // false when the driver claims more output than was asked for
    std::uint32_t status = 0;
    std::uint32_t outputLength = 0;
};

ControlReply DecodeControlReply(const std::array<std::uint8_t, ControlReplyHeaderSize>& header,
                                std::uint32_t outputCapacity);

// The driver's status for an open.
std::uint32_t DecodeOpenReply(const std::array<std::uint8_t, OpenReplySize>& reply);

}  // namespace lumivarden::device

#endif
