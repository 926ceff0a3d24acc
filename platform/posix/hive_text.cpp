#include "hive_text.h"

#include "winapi.h"

namespace lumivarden::host {
namespace {

constexpr std::u16string_view Header = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view RootName = u"HKEY_CURRENT_USER";

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads UTF-16LE code units line by line. Every line, the last one included,
// must end in CRLF or LF: a file cut short is refused rather than half-read.
class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t units) : data_(data), end_(units) {}

    bool AtEnd() const { return pos_ == end_; }
    char16_t Peek() const { return pos_ < end_ ? Unit(pos_) : u'\0'; }
    bool AtLineEnd() const { return pos_ == end_ || Peek() == u'\r' || Peek() == u'\n'; }
    void Advance() { ++pos_; }

    bool Take(char16_t c) {
        if (pos_ < end_ && Unit(pos_) == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    bool Take(std::u16string_view word) {
        if (end_ - pos_ < word.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (Unit(pos_ + i) != word[i]) return false;
        }
        pos_ += word.size();
        return true;
    }

    void SkipBlanks() {
        while (Peek() == u' ' || Peek() == u'\t') ++pos_;
    }

    bool TakeLineBreak() {
        Take(u'\r');
        return Take(u'\n');
    }

    // The rest of the line, without its line break, which is consumed.
    bool TakeLine(Text* line) {
        const std::size_t start = pos_;
        while (!AtLineEnd()) ++pos_;
        line->clear();
        for (std::size_t i = start; i < pos_; ++i) line->push_back(Unit(i));
        return TakeLineBreak();
    }

    // A byte written as two hex digits.
    bool TakeHexByte(std::uint8_t* byte) {
        if (end_ - pos_ < 2) return false;
        const int high = HexDigit(Unit(pos_));
        const int low = HexDigit(Unit(pos_ + 1));
        if (high < 0 || low < 0) return false;
        *byte = static_cast<std::uint8_t>(high * 16 + low);
        pos_ += 2;
        return true;
    }

    // Up to eight hex digits, at least one.
    bool TakeHexNumber(std::uint32_t* number) {
        std::uint32_t result = 0;
        int digits = 0;
        for (int digit = HexDigit(Peek()); pos_ < end_ && digit >= 0; digit = HexDigit(Peek())) {
            if (++digits > 8) return false;
            result = result * 16 + static_cast<std::uint32_t>(digit);
            ++pos_;
        }
        *number = result;
        return digits > 0;
    }

    // A double-quoted text with \\ and \" escaped, on one line. Data may also
    // hold \r, \n and \0, as Wine's reg export writes line breaks.
    enum class Quoted { Name, Data };
    bool TakeQuoted(Text* text, Quoted what) {
        if (!Take(u'"')) return false;
        text->clear();
        while (!AtLineEnd()) {
            char16_t c = Unit(pos_++);
            if (c == u'"') return true;
            if (c == u'\\') {
                if (AtLineEnd()) return false;
                c = Unit(pos_++);
                if (what == Quoted::Data && (c == u'r' || c == u'n' || c == u'0')) {
                    c = c == u'r' ? u'\r' : c == u'n' ? u'\n' : u'\0';
                } else if (c != u'\\' && c != u'"') {
                    return false;
                }
            }
            text->push_back(c);
        }
        return false;
    }

  private:
    char16_t Unit(std::size_t index) const {
        return static_cast<char16_t>(data_[2 * index] | (data_[2 * index + 1] << 8));
    }

    const std::uint8_t* data_;
    std::size_t pos_ = 0;
    std::size_t end_;
};

// Comma-separated hex bytes, possibly continued over lines ending in a backslash.
bool ParseHexList(Reader& in, Bytes* bytes) {
    bytes->clear();
    in.SkipBlanks();
    if (in.AtLineEnd()) return true;
    for (;;) {
        std::uint8_t byte = 0;
        if (!in.TakeHexByte(&byte)) return false;
        bytes->push_back(byte);
        in.SkipBlanks();
        if (!in.Take(u',')) return in.AtLineEnd();
        in.SkipBlanks();
        if (in.Take(u'\\')) {
            in.SkipBlanks();
            if (!in.TakeLineBreak()) return false;
            in.SkipBlanks();
        }
    }
}

bool ParseValueData(Reader& in, HiveValue* value) {
    if (in.Peek() == u'"') {
        Text text;
        if (!in.TakeQuoted(&text, Reader::Quoted::Data)) return false;
        value->type = REG_SZ;
        value->data.clear();
        for (char16_t c : text) {
            value->data.push_back(static_cast<std::uint8_t>(c & 0xFF));
            value->data.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        value->data.push_back(0);
        value->data.push_back(0);
        return true;
    }
    if (in.Take(u"dword:")) {
        std::uint32_t number = 0;
        if (!in.TakeHexNumber(&number)) return false;
        value->type = REG_DWORD;
        value->data = {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
                       static_cast<std::uint8_t>(number >> 16),
                       static_cast<std::uint8_t>(number >> 24)};
        return true;
    }
    if (in.Take(u"hex:")) {
        value->type = REG_BINARY;
        return ParseHexList(in, &value->data);
    }
    if (in.Take(u"hex(")) {
        if (!in.TakeHexNumber(&value->type) || !in.Take(u"):")) return false;
        return ParseHexList(in, &value->data);
    }
    return false;
}

// "[HKEY_CURRENT_USER\a\b]": the path below the root, "a\b".
bool ParseSectionName(const Text& line, Text* path) {
    std::size_t last = line.find_last_not_of(u" \t");
    if (last == Text::npos || line[last] != u']') return false;
    const std::u16string_view inner = std::u16string_view(line).substr(1, last - 1);
    if (inner.size() < RootName.size() || !NamesEqual(inner.substr(0, RootName.size()), RootName)) {
        return false;
    }
    if (inner.size() == RootName.size()) {
        path->clear();
        return true;
    }
    if (inner[RootName.size()] != u'\\') return false;
    path->assign(inner.substr(RootName.size() + 1));
    return !path->empty() && IsValidKeyPath(*path);
}

class Writer {
  public:
    explicit Writer(std::size_t units) { out_.reserve(units); }

    void Unit(char16_t c) {
        out_.push_back(c);
        column_ = (c == u'\n') ? 0 : column_ + 1;
    }
    void Ascii(std::string_view text) {
        for (char c : text) Unit(static_cast<char16_t>(c));
    }
    void Line(std::string_view text) {
        Ascii(text);
        Ascii("\r\n");
    }
    void Quoted(TextView text) {
        Unit(u'"');
        for (char16_t c : text) {
            if (c == u'\\' || c == u'"') Unit(u'\\');
            Unit(c);
        }
        Unit(u'"');
    }
    void Hex(std::uint32_t number, int digits) {
        static const char kDigits[] = "0123456789abcdef";
        for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
            Unit(static_cast<char16_t>(kDigits[(number >> shift) & 0xF]));
        }
    }
    void HexNumber(std::uint32_t number) {
        int digits = 1;
        while (digits < 8 && (number >> (4 * digits)) != 0) ++digits;
        Hex(number, digits);
    }
    std::size_t Column() const { return column_; }

    // The text as UTF-16LE bytes.
    std::string Encoded() const {
        std::string bytes(2 * out_.size(), '\0');
        char* at = bytes.data();
        for (char16_t c : out_) {
            *at++ = static_cast<char>(c & 0xFF);
            *at++ = static_cast<char>(c >> 8);
        }
        return bytes;
    }

  private:
    std::u16string out_;
    std::size_t column_ = 0;
};

// Text written as "..." only when reading it back gives the very same bytes.
bool IsPlainString(const HiveValue& value, Text* text) {
    const Bytes& data = value.data;
    if (value.type != REG_SZ || data.size() < 2 || data.size() % 2 != 0) return false;
    if (data[data.size() - 2] != 0 || data[data.size() - 1] != 0) return false;
    text->clear();
    for (std::size_t i = 0; i + 2 < data.size(); i += 2) {
        const char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (c == 0 || c == u'\r' || c == u'\n') return false;
        text->push_back(c);
    }
    return true;
}

void WriteValue(Writer& out, const HiveValue& value) {
    if (value.name.empty()) {
        out.Unit(u'@');
    } else {
        out.Quoted(value.name);
    }
    out.Unit(u'=');

    Text text;
    if (IsPlainString(value, &text)) {
        out.Quoted(text);
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        out.Ascii("dword:");
        out.Hex(static_cast<std::uint32_t>(value.data[0] | (value.data[1] << 8) |
                                           (value.data[2] << 16) |
                                           (static_cast<std::uint32_t>(value.data[3]) << 24)),
                8);
    } else {
        if (value.type == REG_BINARY) {
            out.Ascii("hex:");
        } else {
            out.Ascii("hex(");
            out.HexNumber(value.type);
            out.Ascii("):");
        }
        for (std::size_t i = 0; i < value.data.size(); ++i) {
            out.Hex(value.data[i], 2);
            if (i + 1 == value.data.size()) break;
            out.Unit(u',');
            if (out.Column() >= 76) out.Ascii("\\\r\n  ");  // the editor's own line width
        }
    }
    out.Ascii("\r\n");
}

}  // namespace

std::optional<Hive> ParseHive(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size % 2 != 0 || data[0] != 0xFF || data[1] != 0xFE) return std::nullopt;
    Reader in(data + 2, size / 2 - 1);

    Text line;
    if (!in.TakeLine(&line) || line != Header) return std::nullopt;

    Hive hive;
    HiveKey* key = nullptr;  // a value line needs a section before it
    while (!in.AtEnd()) {
        in.SkipBlanks();
        const char16_t first = in.Peek();
        if (in.AtLineEnd() || first == u';') {
            if (!in.TakeLine(&line)) return std::nullopt;
        } else if (first == u'[') {
            Text path;
            if (!in.TakeLine(&line) || !ParseSectionName(line, &path)) return std::nullopt;
            bool created = false;
            key = &CreateKey(hive, path, &created);
        } else if (key != nullptr && (first == u'"' || first == u'@')) {
            HiveValue value;
            if (!in.Take(u'@') && !in.TakeQuoted(&value.name, Reader::Quoted::Name))
                return std::nullopt;
            if (!IsValidValueName(value.name)) return std::nullopt;
            in.SkipBlanks();
            if (!in.Take(u'=')) return std::nullopt;
            in.SkipBlanks();
            if (!ParseValueData(in, &value)) return std::nullopt;
            in.SkipBlanks();
            if (!in.TakeLineBreak()) return std::nullopt;
            key->values.push_back(std::move(value));
        } else {
            return std::nullopt;
        }
    }
    for (HiveKey& each : hive.keys) MergeDuplicateNames(each);
    return hive;
}

std::string WriteHive(const Hive& hive) {
    std::size_t units = 64;
    for (const HiveKey& key : hive.keys) {
        units += key.path.size() + 24;
        for (const HiveValue& value : key.values)
            units += value.name.size() + 3 * value.data.size() + 24;
    }
    Writer out(units);
    out.Unit(u'\xFEFF');
    out.Line("Windows Registry Editor Version 5.00");
    for (const HiveKey& key : hive.keys) {
        if (key.path.empty() && key.values.empty()) continue;  // the root is always there
        out.Ascii("\r\n[HKEY_CURRENT_USER");
        if (!key.path.empty()) {
            out.Unit(u'\\');
            for (char16_t c : key.path) out.Unit(c);
        }
        out.Line("]");
        for (const HiveValue& value : key.values) WriteValue(out, value);
    }
    out.Ascii("\r\n");
    return out.Encoded();
}

}  // namespace lumivarden::host
