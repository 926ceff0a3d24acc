// The program's start-up on a POSIX host: hands the arguments, as UTF-16, to
// the run and exits with its result (-1 becomes exit status 255).
#include <signal.h>

#include <vector>

#include "toggle_run.h"

namespace {

// UTF-8 to UTF-16; a malformed byte becomes U+FFFD.
void AppendUtf16(const char* text, std::vector<WCHAR>& out) {
    const auto* in = reinterpret_cast<const unsigned char*>(text);
    while (*in != 0) {
        unsigned long code = *in;
        int extra = code >= 0xF0 ? 3 : code >= 0xE0 ? 2 : code >= 0xC0 ? 1 : 0;
        if (code >= 0x80 && code < 0xC0) extra = -1;
        ++in;
        if (extra > 0) code &= 0x3Fu >> extra;
        for (int i = 0; i < extra; ++i, ++in) {
            if ((*in & 0xC0) != 0x80) {
                extra = -1;
                break;
            }
            code = (code << 6) | (*in & 0x3F);
        }
        if (extra < 0 || code > 0x10FFFF) code = 0xFFFD;
        if (code >= 0x10000) {
            out.push_back(static_cast<WCHAR>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<WCHAR>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<WCHAR>(code));
        }
    }
    out.push_back(0);
}

}  // namespace

int main(int argc, char** argv) {
    // A write past the file-size limit fails like any other failed write on the
    // platform, instead of ending the process.
    signal(SIGXFSZ, SIG_IGN);
    std::vector<WCHAR> text;
    std::vector<std::size_t> starts;
    for (int i = 0; i < argc; ++i) {
        starts.push_back(text.size());
        AppendUtf16(argv[i], text);
    }
    std::vector<WCHAR*> arguments;
    arguments.reserve(starts.size() + 1);
    for (std::size_t start : starts) arguments.push_back(text.data() + start);
    arguments.push_back(nullptr);
    return ToggleLamp(argc, arguments.data());
}
