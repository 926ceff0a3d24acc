#include "hive_document.h"

#include <unordered_map>

#include "hive_reader.h"

namespace lumivarden::host {
namespace {

Text TextOf(const HiveDocument& document, Span span, bool escaped) {
    Text text;
    NameCursor cursor(document.bytes, span.begin, span.end, escaped);
    for (char16_t c = 0; cursor.Next(&c);) text.push_back(c);
    return text;
}

}  // namespace

bool MakeEmptyHive(HiveDocument& document) {
    std::string bytes("\xFF\xFE");
    AppendUtf16(bytes, u"Windows Registry Editor Version 5.00\r\n\r\n");
    return document.bytes.Assign(bytes.data(), bytes.size()) && IndexHive(document);
}

std::uint32_t FindChild(const HiveDocument& document, std::uint32_t parent, TextView name) {
    const std::uint64_t hash = ChildKeyHash(document.keys[parent].hash, NameHash(name));
    return document.keyIndex.Find(hash, [&](std::uint32_t each) {
        const KeyEntry& key = document.keys[each];
        return key.parent == parent &&
               SameName(NameCursor(document.bytes, key.name.begin, key.name.end, false),
                        ViewCursor(name));
    });
}

std::uint32_t FindKey(const HiveDocument& document, TextView path) {
    std::uint32_t key = 0;
    for (std::size_t start = 0; key != NoEntry && start < path.size();) {
        std::size_t end = path.find(u'\\', start);
        if (end == TextView::npos) end = path.size();
        if (end > start) key = FindChild(document, key, path.substr(start, end - start));
        start = end + 1;
    }
    return key;
}

std::vector<ValueLine> ValueLinesOf(const HiveDocument& document, std::uint32_t key) {
    std::vector<ValueLine> lines;
    for (std::uint32_t each = document.keys[key].firstSection; each != NoEntry;
         each = document.sections[each].next) {
        const Span span = document.sections[each].lines;
        TextReader in(document.bytes, span.begin, span.end);
        while (!in.AtEnd()) {
            const TextReader lineStart = in;
            in.SkipBlanks();
            if (in.AtLineEnd() || in.Peek() == u';') {  // blank and comment lines
                in.SkipToLineEnd();
                in.TakeLineBreak();
                continue;
            }
            in = lineStart;
            lines.emplace_back();
            ReadValueLine(in, &lines.back());  // checked when the file was indexed
        }
    }
    return lines;
}

bool NameIs(const HiveDocument& document, const ValueLine& value, TextView name) {
    return SameName(NameCursor(document.bytes, value.name.begin, value.name.end, true),
                    ViewCursor(name));
}

bool FindValue(const HiveDocument& document, std::uint32_t key, TextView name, ValueLine* found) {
    bool any = false;
    for (const ValueLine& value : ValueLinesOf(document, key)) {
        if (NameIs(document, value, name)) {
            *found = value;
            any = true;
        }
    }
    return any;
}

Text KeyPathOf(const HiveDocument& document, std::uint32_t key) {
    std::vector<std::uint32_t> chain;
    for (; key != 0; key = document.keys[key].parent) chain.push_back(key);
    Text path;
    for (auto each = chain.rbegin(); each != chain.rend(); ++each) {
        if (!path.empty()) path.push_back(u'\\');
        path += TextOf(document, document.keys[*each].name, false);
    }
    return path;
}

Text ValueNameOf(const HiveDocument& document, const ValueLine& value) {
    return TextOf(document, value.name, true);
}

Bytes ValueData(const HiveDocument& document, const ValueLine& value) {
    TextReader in(document.bytes, value.data, value.line.end);
    std::uint32_t type = 0;
    Bytes data;
    ReadValueData(in, &type, &data);
    return data;
}

Hive ToHive(const HiveDocument& document) {
    Hive hive;
    hive.keys.resize(document.keys.size());
    for (std::size_t k = 0; k < document.keys.size(); ++k) {  // parents come first
        const KeyEntry& key = document.keys[k];
        if (k != 0) {
            const Text& parent = hive.keys[key.parent].path;
            hive.keys[k].path = parent.empty() ? Text() : parent + u'\\';
            hive.keys[k].path += TextOf(document, key.name, false);
        }
        // A name given again takes the type and data of its later line.
        std::vector<HiveValue>& values = hive.keys[k].values;
        std::unordered_map<std::u16string, std::size_t> placeOf;
        for (const ValueLine& line : ValueLinesOf(document, static_cast<std::uint32_t>(k))) {
            const Text name = ValueNameOf(document, line);
            Text folded;
            for (char16_t c : name) folded.push_back(FoldCase(c));
            const auto [place, added] = placeOf.emplace(folded, values.size());
            if (added) values.push_back(HiveValue{name, 0, {}});
            values[place->second].type = line.type;
            values[place->second].data = ValueData(document, line);
        }
    }
    return hive;
}

}  // namespace lumivarden::host
