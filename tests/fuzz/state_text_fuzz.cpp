// The remembered text read from a value of any type and size, which may also
// change between the sizing query and the read: the text never holds a NUL and
// never holds more characters than the data that was read.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "recording_platform.h"
#include "state_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return 0;
    // Layout: type (4 bytes), length of the first data (2 bytes), first data,
    // then, if anything is left, the data that replaces it after the sizing query.
    std::uint32_t type;
    std::memcpy(&type, data, 4);
    const std::size_t firstSize = std::min<std::size_t>(data[4] | (data[5] << 8), size - 6);
    const std::uint8_t* first = data + 6;
    const std::uint8_t* second = first + firstSize;
    const std::size_t secondSize = size - 6 - firstSize;

    fake::Reset();
    fake::State().enabled = fake::Value{type, fake::Bytes(first, first + firstSize)};
    if (secondSize > 0) {
        fake::State().enabledAfterSizing =
            fake::Value{type, fake::Bytes(second, second + secondSize - 1)};
    }
    const StateText text = ReadEnabled(fake::StateKeyHandle());

    // A value that grew past the first size cannot be read into the buffer: empty text.
    const bool grew = secondSize > 0 && secondSize - 1 > firstSize;
    const std::uint8_t* read = secondSize > 0 ? second : first;
    const std::size_t readSize = secondSize > 0 ? secondSize - 1 : firstSize;
    if (text.find(WCHAR(0)) != StateText::npos) std::abort();
    if (text.size() * sizeof(WCHAR) > readSize) std::abort();
    if (grew && !text.empty()) std::abort();
    if (!grew && std::memcmp(text.data(), read, text.size() * sizeof(WCHAR)) != 0) std::abort();
    return 0;
}
