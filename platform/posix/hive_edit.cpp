#include "hive_edit.h"

#include <algorithm>
#include <cstring>

#include "hive_format.h"
#include "hive_reader.h"

namespace lumivarden::host {
namespace {

constexpr TextView Crlf = u"\r\n";

std::uint32_t UnitCount(const HiveDocument& document) {
    return static_cast<std::uint32_t>(document.bytes.size() / 2);
}

char16_t UnitAt(const HiveDocument& document, std::uint32_t at) {
    return TextReader(document.bytes, 0, 0).UnitAt(at);
}

// The line break that ends just before `at` ("\r\n", "\n", "\r"), or none.
TextView BreakBefore(const HiveDocument& document, std::uint32_t at) {
    if (at < 2) return TextView();
    const char16_t last = UnitAt(document, at - 1);
    if (last == u'\n') return UnitAt(document, at - 2) == u'\r' ? Crlf : TextView(u"\n");
    return last == u'\r' ? TextView(u"\r") : TextView();
}

// Replaces the units [begin, end) by the text, in place.
bool Splice(HiveDocument& document, std::uint32_t begin, std::uint32_t end, const Text& text) {
    if (UnitCount(document) - (end - begin) + text.size() >= NoEntry) return false;
    std::string encoded;
    encoded.reserve(2 * text.size());
    AppendUtf16(encoded, text);
    if (!document.bytes.Replace(2 * std::size_t{begin}, 2 * std::size_t{end - begin},
                                encoded.data(), encoded.size())) {
        return false;
    }
    document.indexed = false;
    return true;
}

// New sections at the end of the file, each set off by a blank line as the
// editor writes them; the value line, if any, goes under the last.
bool AppendSections(HiveDocument& document, const std::vector<Text>& paths, const Text& valueLine) {
    const std::uint32_t end = UnitCount(document);
    const TextView lastBreak = BreakBefore(document, end);
    const TextView lineBreak = lastBreak.empty() ? Crlf : lastBreak;
    Text text;
    if (lastBreak.empty()) text.append(lineBreak);  // a last line without its line end
    const std::uint32_t lastLineEnd = static_cast<std::uint32_t>(end - lastBreak.size());
    if (lastBreak.empty() || BreakBefore(document, lastLineEnd).empty()) text.append(lineBreak);
    for (const Text& path : paths) {
        AppendSectionLine(text, path, lineBreak);
        if (&path == &paths.back()) text += valueLine;
        text.append(lineBreak);
    }
    return Splice(document, end, end, text);
}

}  // namespace

bool AddKey(HiveDocument& document, TextView path) {
    // A section for the key and for each ancestor that is not there either, as
    // an export would hold them; ancestors already there keep their spelling.
    std::uint32_t ancestor = 0;
    std::vector<Text> paths;
    Text spelled;
    for (std::size_t start = 0, end = 0; start < path.size(); start = end + 1) {
        end = std::min(path.find(u'\\', start), path.size());
        if (paths.empty()) {  // still among keys that are there: one step down
            const std::uint32_t child =
                end > start ? FindChild(document, ancestor, path.substr(start, end - start))
                            : ancestor;
            if (child != NoEntry) {
                ancestor = child;
                continue;
            }
            spelled = KeyPathOf(document, ancestor);
        }
        if (!spelled.empty()) spelled.push_back(u'\\');
        spelled.append(path.substr(start, end - start));
        paths.push_back(spelled);
    }
    return AppendSections(document, paths, Text());
}

bool SetValue(HiveDocument& document, std::uint32_t key, TextView name, std::uint32_t type,
              const std::uint8_t* data, std::size_t size) {
    ValueLine value;
    if (FindValue(document, key, name, &value)) {
        // The line that counts is rewritten in its own spelling and line end.
        const TextView ownBreak = BreakBefore(document, value.line.end);
        Text line;
        AppendValueLine(line, ValueNameOf(document, value), type, data, size,
                        ownBreak.empty() ? Crlf : ownBreak);
        if (ownBreak.empty()) line.resize(line.size() - Crlf.size());
        return Splice(document, value.line.begin, value.line.end, line);
    }
    const std::uint32_t last = document.keys[key].lastSection;
    if (last == NoEntry) {  // the key has no section of its own yet
        Text line;
        const TextView lineBreak = BreakBefore(document, UnitCount(document));
        AppendValueLine(line, name, type, data, size, lineBreak.empty() ? Crlf : lineBreak);
        return AppendSections(document, {KeyPathOf(document, key)}, line);
    }
    const std::uint32_t at = document.sections[last].lines.end;
    const TextView before = BreakBefore(document, at);
    Text line;
    if (before.empty()) line.append(Crlf);  // after a last line without its line end
    AppendValueLine(line, name, type, data, size, before.empty() ? Crlf : before);
    return Splice(document, at, at, line);
}

bool DeleteValue(HiveDocument& document, std::uint32_t key, TextView name) {
    std::vector<Span> lines;
    for (const ValueLine& value : ValueLinesOf(document, key)) {
        if (NameIs(document, value, name)) lines.push_back(value.line);
    }
    if (lines.empty()) return false;
    // One pass that closes every gap, however many lines the name had.
    char* bytes = document.bytes.data();
    std::size_t kept = 2 * std::size_t{lines.front().begin};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t from = 2 * std::size_t{lines[i].end};
        const std::size_t to =
            i + 1 < lines.size() ? 2 * std::size_t{lines[i + 1].begin} : document.bytes.size();
        std::memmove(bytes + kept, bytes + from, to - from);
        kept += to - from;
    }
    document.bytes.Resize(kept);
    document.indexed = false;
    return true;
}

}  // namespace lumivarden::host
