// Any bytes as a hive file: never a crash. A hive that is accepted writes back
// out and reads back in to the same content, as a fixed point; and setting or
// deleting one value (which, and how, chosen from the input) changes only
// that value's lines and leaves every other value as it was.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "hive_document.h"
#include "hive_edit.h"
#include "hive_text.h"
#include "little_endian.h"
#include "winapi.h"

namespace {

using namespace lumivarden::host;

void Check(bool holds) {
    if (!holds) std::abort();
}

// How many bytes the two texts share at their start and at their end, each
// measured on its own: a change within [first, last) of `before` leaves
// *begin >= first and *tail >= size - last.
void Difference(const ByteBuffer& before, const ByteBuffer& after, std::size_t* begin,
                std::size_t* tail) {
    const std::size_t shorter = std::min(before.size(), after.size());
    *begin = 0;
    while (*begin < shorter && before.data()[*begin] == after.data()[*begin]) ++*begin;
    *tail = 0;
    while (*tail < shorter &&
           before.data()[before.size() - 1 - *tail] == after.data()[after.size() - 1 - *tail]) {
        ++*tail;
    }
}

// The key that a section's own line names, looked up afresh: each section is
// indexed under the key its text names, however the indexer got there.
void CheckSectionsNameTheirKeys(const HiveDocument& document) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(document.bytes.data());
    const auto unit = [&](std::uint32_t at) { return LoadLe16(bytes + 2 * std::size_t{at}); };
    for (std::uint32_t key = 0; key < document.keys.size(); ++key) {
        for (std::uint32_t each = document.keys[key].firstSection; each != NoEntry;
             each = document.sections[each].next) {
            std::uint32_t end = document.sections[each].lines.begin;  // past the section's line
            while (end > 0 && (unit(end - 1) == u'\n' || unit(end - 1) == u'\r')) --end;
            std::uint32_t start = end;
            while (start > 0 && unit(start - 1) != u'\n' && unit(start - 1) != u'\r') --start;
            Text line;
            for (std::uint32_t at = start; at < end; ++at) line.push_back(unit(at));
            const std::size_t open = line.find(u'[');
            const std::size_t close = line.rfind(u']');
            Check(open != Text::npos && close != Text::npos && close > open);
            const Text name = line.substr(open + 1, close - open - 1);
            const std::size_t slash = name.find(u'\\');
            Text path;
            if (slash != Text::npos) {
                for (std::size_t from = slash + 1; from <= name.size();) {
                    std::size_t to = name.find(u'\\', from);
                    if (to == Text::npos) to = name.size();
                    if (to > from)
                        path +=
                            (path.empty() ? Text() : Text(u"\\")) + name.substr(from, to - from);
                    from = to + 1;
                }
            }
            Check(FindKey(document, path) == key);
        }
    }
}

void CheckOneEdit(const std::uint8_t* data, std::size_t size) {
    HiveDocument before;
    HiveDocument after;
    Check(before.bytes.Assign(reinterpret_cast<const char*>(data), size) && IndexHive(before));
    Check(after.bytes.Assign(reinterpret_cast<const char*>(data), size) && IndexHive(after));
    CheckSectionsNameTheirKeys(before);
    Hive expected = ToHive(before);

    const std::uint8_t choice = data[size - 1];
    const auto key = static_cast<std::uint32_t>(size % before.keys.size());
    const std::vector<ValueLine> lines = ValueLinesOf(before, key);
    HiveKey& model = expected.keys[key];
    const bool existing = !lines.empty() && choice % 3 != 0;
    const Text name = existing ? ValueNameOf(before, lines[choice % lines.size()]) : u"fuzz";

    std::size_t begin = 0;
    std::size_t tail = 0;
    if (existing && choice % 3 == 2) {
        Check(DeleteValue(after, key, name));
        Check(DeleteValue(model, name));
        Check(IndexHive(after));
        Difference(before.bytes, after.bytes, &begin, &tail);
        // Only whole lines of that name went, from its first line to its last.
        ValueLine first;
        ValueLine last;
        for (const ValueLine& line : lines) {
            if (!NameIs(before, line, name)) continue;
            if (first.line.end == 0) first = line;
            last = line;
        }
        Check(begin >= 2 * std::size_t{first.line.begin});
        Check(before.bytes.size() - tail <= 2 * std::size_t{last.line.end});
    } else {
        const Bytes value(data, data + std::min<std::size_t>(size, 7));
        const DWORD type = choice % 2 == 0 ? REG_SZ : REG_BINARY;
        ValueLine counted;
        const bool replaced = FindValue(before, key, name, &counted);
        Check(SetValue(after, key, name, type, value.data(), value.size()));
        SetValue(model, name, type, value);
        Check(IndexHive(after));
        Difference(before.bytes, after.bytes, &begin, &tail);
        if (replaced) {  // within the line that counted
            Check(begin >= 2 * std::size_t{counted.line.begin});
            Check(before.bytes.size() - tail <= 2 * std::size_t{counted.line.end});
        } else {  // nothing of the file is lost: the new lines are only added
            Check(begin + tail >= before.bytes.size());
        }
    }
    Check(ToHive(after) == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto hive = ParseHive(data, size);
    if (!hive) return 0;
    const std::string written = WriteHive(*hive);
    const auto back =
        ParseHive(reinterpret_cast<const std::uint8_t*>(written.data()), written.size());
    if (!back || *back != *hive) std::abort();
    if (WriteHive(*back) != written) std::abort();
    CheckOneEdit(data, size);
    return 0;
}
