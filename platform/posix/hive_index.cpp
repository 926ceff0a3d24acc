// Checks and indexes the whole hive file in one pass over its text, with hash
// look-ups for keys, so the cost grows with the file's size alone.
#include <algorithm>

#include "hive_document.h"
#include "hive_reader.h"

namespace lumivarden::host {
namespace {

constexpr std::u16string_view Header = u"Windows Registry Editor Version 5.00";
// The import takes the root's short name too.
constexpr std::u16string_view RootNames[] = {u"HKEY_CURRENT_USER", u"HKCU"};

bool TakeFolded(TextReader& in, std::u16string_view word) {
    const TextReader start = in;
    for (char16_t c : word) {
        if (in.AtEnd() || FoldCase(in.Peek()) != c) {
            in = start;
            return false;
        }
        in.Advance();
    }
    return true;
}

class Indexer {
  public:
    explicit Indexer(HiveDocument& document) : doc_(document) {}

    bool Run() {
        const ByteBuffer& bytes = doc_.bytes;
        if (bytes.size() < 2 || bytes.size() % 2 != 0 || bytes.size() / 2 >= NoEntry ||
            static_cast<unsigned char>(bytes.data()[0]) != 0xFF ||
            static_cast<unsigned char>(bytes.data()[1]) != 0xFE) {
            return false;
        }
        const auto units = static_cast<std::uint32_t>(bytes.size() / 2);
        TextReader in(bytes, 1, units);
        // Room that usual files do not outgrow, so that entries are not moved
        // as they are added: a section line takes some 30 units at least.
        // Only the part used is ever touched.
        doc_.keys.reserve(units / 32);
        doc_.sections.reserve(units / 32);
        if (!doc_.keyIndex.Reserve(units / 256)) return false;
        if (!in.Take(Header) || !in.AtLineEnd()) return false;
        in.TakeLineBreak();

        doc_.keys.push_back(KeyEntry{NoEntry, Span{}, NameHashStart()});
        Section* section = nullptr;  // a value line needs a section before it
        while (!in.AtEnd()) {
            const TextReader lineStart = in;
            in.SkipBlanks();
            if (in.AtLineEnd() || in.Peek() == u';') {
                in.SkipToLineEnd();
                in.TakeLineBreak();
            } else if (in.Peek() == u'[') {
                std::uint32_t key = 0;
                if (!ReadSection(in, &key)) return false;
                section = AddSection(key, in.Pos());
            } else {
                in = lineStart;
                ValueLine value;
                if (section == nullptr || !ReadValueLine(in, &value)) return false;
                section->lines.end = value.line.end;
            }
        }
        doc_.indexed = true;
        return true;
    }

  private:
    // "[HKEY_CURRENT_USER\a\b]": the name runs to the line's last ']', and what
    // follows it is ignored, as the import does. Empty components (a doubled or
    // trailing backslash) name nothing, except right after the root, which the
    // import refuses. "[-...]", a deletion, is not a key.
    bool ReadSection(TextReader& in, std::uint32_t* key) {
        in.Advance();
        const std::uint32_t begin = in.Pos();
        std::uint32_t close = NoEntry;
        for (; !in.AtLineEnd(); in.Advance()) {
            if (in.Peek() == u']') close = in.Pos();
        }
        if (close == NoEntry) return false;
        TextReader name(doc_.bytes, begin, close);
        std::size_t steps = SharedSteps(begin, close);
        if (steps == 0) {  // nothing in common with the last section: the root first
            if (!TakeFolded(name, RootNames[0]) && !TakeFolded(name, RootNames[1])) return false;
            path_.assign(1, Step{name.Pos() - begin, 0, 0});
            steps = 1;
        } else {
            path_.resize(steps);
            name.Seek(begin + path_.back().end);
        }
        if (steps == 1 && !name.AtEnd() && (!name.Take(u'\\') || name.Take(u'\\'))) return false;
        for (Step step = path_.back(); !name.AtEnd(); name.Take(u'\\')) {
            const std::uint32_t start = name.Pos();
            while (!name.AtEnd() && name.Peek() != u'\\') {
                if (name.Peek() == 0) return false;
                name.Advance();
            }
            if (name.Pos() == start) continue;
            if (++step.depth > MaxKeyDepth || !AddKey(&step.key, start, name.Pos())) return false;
            step.end = name.Pos() - begin;
            path_.push_back(step);
        }
        previous_ = Span{begin, close};
        *key = path_.back().key;
        return in.TakeLineBreak();
    }

    // How many steps of the last section's path (the root, then each key)
    // this section's name [begin, close) spells the same, unit for unit, up
    // to where a key's name ends in both. Exports list a key's children after
    // it, so most of a name is found this way, without hashing.
    std::size_t SharedSteps(std::uint32_t begin, std::uint32_t close) const {
        if (path_.empty()) return 0;
        const TextReader text(doc_.bytes, 0, 0);
        const std::uint32_t length = std::min(close - begin, previous_.end - previous_.begin);
        std::uint32_t same = 0;
        while (same < length && text.UnitAt(begin + same) == text.UnitAt(previous_.begin + same))
            ++same;
        std::size_t steps = path_.size();
        while (steps > 0) {
            const std::uint32_t end = path_[steps - 1].end;
            if (end <= same && (begin + end == close || text.UnitAt(begin + end) == u'\\')) break;
            --steps;
        }
        return steps;
    }

    // Finds or adds the child of *key named by the text [begin, end).
    bool AddKey(std::uint32_t* key, std::uint32_t begin, std::uint32_t end) {
        std::size_t length = 0;
        const std::uint64_t hash = ChildKeyHash(
            doc_.keys[*key].hash, HashOfName(NameCursor(doc_.bytes, begin, end, false), &length));
        if (length > MaxKeyNameLength) return false;
        const std::uint32_t parent = *key;
        const auto added = static_cast<std::uint32_t>(doc_.keys.size());
        const std::uint32_t found = doc_.keyIndex.FindOrAdd(
            hash,
            [&](std::uint32_t each) {
                const KeyEntry& other = doc_.keys[each];
                return other.parent == parent &&
                       SameName(NameCursor(doc_.bytes, other.name.begin, other.name.end, false),
                                NameCursor(doc_.bytes, begin, end, false));
            },
            added);
        if (found == NoRoom) return false;
        *key = found != NoEntry ? found : added;
        if (found == NoEntry) doc_.keys.push_back(KeyEntry{parent, Span{begin, end}, hash});
        return true;
    }

    // A section of the key whose value lines start at `begin`.
    Section* AddSection(std::uint32_t key, std::uint32_t begin) {
        const auto index = static_cast<std::uint32_t>(doc_.sections.size());
        doc_.sections.push_back(Section{Span{begin, begin}, NoEntry});
        KeyEntry& entry = doc_.keys[key];
        if (entry.lastSection == NoEntry) {
            entry.firstSection = index;
        } else {
            doc_.sections[entry.lastSection].next = index;
        }
        entry.lastSection = index;
        return &doc_.sections.back();
    }

    // The last section's path: where each step's name ends (counted from the
    // start of the section's name), the key it names and its depth.
    struct Step {
        std::uint32_t end;
        std::uint32_t key;
        std::size_t depth;
    };
    std::vector<Step> path_;
    Span previous_;

    HiveDocument& doc_;
};

}  // namespace

bool IndexHive(HiveDocument& document) {
    document.indexed = false;
    document.keys.clear();
    document.sections.clear();
    document.keyIndex.Clear();
    if (Indexer(document).Run()) return true;
    document.keys.clear();
    document.sections.clear();
    document.keyIndex.Clear();
    return false;
}

}  // namespace lumivarden::host
