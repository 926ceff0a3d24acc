// Any bytes as what a driver answers: the client opens, then sends control
// requests until the stream fails. It never writes past the output buffer it
// offered, reports no more output than it asked for, and gives up on a stream
// it cannot trust.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "device_exchange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lumivarden::device;
    if (size < 1 || size > 16384) return 0;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, ends) != 0) std::abort();
    // The driver's whole answer is there before the client reads, then the driver hangs up.
    if (send(ends[1], data + 1, size - 1, MSG_NOSIGNAL) != static_cast<ssize_t>(size - 1)) {
        std::abort();
    }
    shutdown(ends[1], SHUT_WR);

    const DWORD outputSize = data[0] % 16;  // what this client offers for output
    if (ExchangeOpen(ends[0], GENERIC_READ, 0) == ERROR_SUCCESS) {
        const std::uint8_t input[4] = {1, 0, 0, 0};
        for (bool broken = false; !broken;) {
            std::vector<std::uint8_t> output(outputSize);  // exact size: ASan sees any overrun
            DWORD returned = 0xFFFFFFFF;
            const DWORD status = ExchangeControl(ends[0], 0x90002014, input, 4, output.data(),
                                                 outputSize, &returned, &broken);
            if (!broken && returned > outputSize) std::abort();
            if (broken && status == ERROR_SUCCESS) std::abort();
        }
    }
    close(ends[0]);
    close(ends[1]);
    return 0;
}
