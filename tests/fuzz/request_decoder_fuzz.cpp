// Any bytes as what a client sends the driver: frames are decoded within the
// bytes received, and every complete one is answered without crashing.
#include <cstdint>
#include <cstdlib>

#include "device_protocol.h"
#include "lamp_requests.h"

using lumivarden::device::Request;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t used = 0;
    for (;;) {
        const Request request = lumivarden::device::DecodeRequest(data + used, size - used);
        switch (request.kind) {
            case Request::Kind::Incomplete:
            case Request::Kind::Invalid:
                if (request.frameSize != 0) std::abort();
                return 0;
            case Request::Kind::Open:
                if (request.frameSize != lumivarden::device::OpenRequestSize) std::abort();
                (void)lumivarden::lampd::DescribeOpen(request, 0);
                break;
            case Request::Kind::Control: {
                if (request.inputLength > lumivarden::device::MaxPayload) std::abort();
                if (request.frameSize !=
                    lumivarden::device::ControlHeaderSize + request.inputLength)
                    std::abort();
                if (request.input != data + used + lumivarden::device::ControlHeaderSize)
                    std::abort();
                const auto outcome = lumivarden::lampd::HandleControl(request);
                const bool accepted = outcome.status == ERROR_SUCCESS;
                if (accepted != (outcome.lamp != lumivarden::lampd::Lamp::Unknown)) std::abort();
                (void)lumivarden::lampd::DescribeControl(request, outcome.status);
                break;
            }
        }
        if (request.frameSize > size - used) std::abort();
        used += request.frameSize;
    }
}
