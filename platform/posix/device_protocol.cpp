#include "device_protocol.h"

namespace lumivarden::device {
namespace {

template <std::size_t Size>
std::array<std::uint8_t, Size> Words(std::initializer_list<std::uint32_t> words) {
    std::array<std::uint8_t, Size> frame{};
    std::size_t at = 0;
    for (std::uint32_t word : words) {
        StoreLe32(frame.data() + at, word);
        at += 4;
    }
    return frame;
}

}  // namespace

std::array<std::uint8_t, OpenRequestSize> EncodeOpenRequest(std::uint32_t access,
                                                            std::uint32_t shareMode) {
    return Words<OpenRequestSize>({OpOpen, access, shareMode});
}

std::array<std::uint8_t, ControlHeaderSize> EncodeControlHeader(std::uint32_t code,
                                                                std::uint32_t inputLength,
                                                                std::uint32_t outputCapacity) {
    return Words<ControlHeaderSize>({OpControl, code, inputLength, outputCapacity});
}

std::array<std::uint8_t, OpenReplySize> EncodeOpenReply(std::uint32_t status) {
    return Words<OpenReplySize>({status});
}

std::array<std::uint8_t, ControlReplyHeaderSize> EncodeControlReplyHeader(
    std::uint32_t status, std::uint32_t outputLength) {
    return Words<ControlReplyHeaderSize>({status, outputLength});
}

Request DecodeRequest(const std::uint8_t* data, std::size_t size) {
    Request request;
    if (size < 4) return request;
    const std::uint32_t op = LoadLe32(data);
    if (op == OpOpen) {
        if (size < OpenRequestSize) return request;
        request.kind = Request::Kind::Open;
        request.frameSize = OpenRequestSize;
        request.access = LoadLe32(data + 4);
        request.shareMode = LoadLe32(data + 8);
        return request;
    }
    if (op != OpControl) {
        request.kind = Request::Kind::Invalid;
        return request;
    }
    if (size < ControlHeaderSize) return request;
    request.code = LoadLe32(data + 4);
    request.inputLength = LoadLe32(data + 8);
    request.outputCapacity = LoadLe32(data + 12);
    if (request.inputLength > MaxPayload) {
        request.kind = Request::Kind::Invalid;
        return request;
    }
    if (size - ControlHeaderSize < request.inputLength) return request;
    request.kind = Request::Kind::Control;
    request.frameSize = ControlHeaderSize + request.inputLength;
    request.input = data + ControlHeaderSize;
    return request;
}

ControlReply DecodeControlReply(const std::array<std::uint8_t, ControlReplyHeaderSize>& header,
                                std::uint32_t outputCapacity) {
    ControlReply reply;
    reply.status = LoadLe32(header.data());
    reply.outputLength = LoadLe32(header.data() + 4);
    reply.valid = reply.outputLength <= outputCapacity && reply.outputLength <= MaxPayload;
    return reply;
}

std::uint32_t DecodeOpenReply(const std::array<std::uint8_t, OpenReplySize>& reply) {
    return LoadLe32(reply.data());
}

}  // namespace lumivarden::device
