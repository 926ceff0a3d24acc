#include "device_protocol.h"

namespace lumivarden::device {

Request DecodeRequest(const std::uint8_t* data, std::size_t size) {
    Request request;
    if (size < 4) return request;
    const std::uint32_t op = GetU32(data);
    if (op == OpOpen) {
        if (size < OpenRequestSize) return request;
        request.kind = Request::Kind::Open;
        request.frameSize = OpenRequestSize;
        request.access = GetU32(data + 4);
        request.shareMode = GetU32(data + 8);
        return request;
    }
    if (op != OpControl) {
        request.kind = Request::Kind::Invalid;
        return request;
    }
    if (size < ControlHeaderSize) return request;
    request.code = GetU32(data + 4);
    request.inputLength = GetU32(data + 8);
    request.outputCapacity = GetU32(data + 12);
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

ControlReply DecodeControlReply(const std::uint8_t (&header)[ControlReplyHeaderSize],
                                std::uint32_t outputCapacity) {
    ControlReply reply;
    reply.status = GetU32(header);
    reply.outputLength = GetU32(header + 4);
    reply.valid = reply.outputLength <= outputCapacity && reply.outputLength <= MaxPayload;
    return reply;
}

}  // namespace lumivarden::device
