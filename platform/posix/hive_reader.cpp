#include "hive_reader.h"

#include "hive_document.h"
#include "winapi.h"

namespace lumivarden::host {
namespace {

// Bytes of one or two hex digits separated by commas; a comma followed by a
// backslash continues the list on a later line, past blank and comment lines.
// A continuation that the file's end cuts off is refused: the file was cut
// short, and a value line added after it would read as its continuation.
bool ReadHexList(TextReader& in, Bytes* data) {
    in.SkipBlanks();
    if (in.AtLineEnd() || in.Peek() == u';') return true;
    for (;;) {  // at a byte, blanks before it allowed
        in.SkipBlanks();
        std::uint32_t byte = 0;
        if (!in.TakeHexNumber(2, &byte)) return false;
        if (data != nullptr) data->push_back(static_cast<std::uint8_t>(byte));
        if (!in.Take(u',')) return true;
        // After a comma, most of a list is "hh,": taken three units at a time.
        const std::uint32_t end = in.Pos() + in.Remaining();
        std::uint32_t at = in.Pos();
        for (; end - at >= 3; at += 3) {
            const char16_t high = in.UnitAt(at);
            const char16_t low = in.UnitAt(at + 1);
            if (in.UnitAt(at + 2) != u',' || !IsHexDigit(high) || !IsHexDigit(low)) break;
            if (data != nullptr) {
                data->push_back(static_cast<std::uint8_t>(HexDigit(high) * 16 + HexDigit(low)));
            }
        }
        in.Seek(at);
        in.SkipBlanks();
        if (in.Take(u'\\')) {
            in.SkipBlanks();
            if (!in.AtLineEnd()) return false;
            in.TakeLineBreak();
            for (;;) {  // the next line that holds anything but a comment
                in.SkipBlanks();
                if (in.AtEnd()) return false;
                if (!in.AtLineEnd() && in.Peek() != u';') break;
                in.SkipToLineEnd();
                in.TakeLineBreak();
            }
        } else if (in.AtLineEnd() || in.Peek() == u';') {
            return true;  // a comma at the end of the line ends the list
        }
    }
}

// The characters that end a run of plain ones in a name: '"', '\\', line
// breaks and NUL.
bool EndsPlainName(char16_t c) {
    return c <= u'\\' && (c == u'"' || c == u'\\' || c == u'\r' || c == u'\n' || c == 0);
}

bool ReadQuotedData(TextReader& in, Bytes* data) {
    if (!in.Take(u'"')) return false;
    while (!in.AtLineEnd()) {
        char16_t c = in.Peek();
        in.Advance();
        if (c == u'"') {
            if (data != nullptr) data->insert(data->end(), {0, 0});
            return true;
        }
        if (c == 0) return false;
        if (c == u'\\') {
            if (in.AtLineEnd()) return false;
            c = in.Peek();
            in.Advance();
            // Wine's reg export writes line breaks and NULs in texts this way.
            if (c == u'r' || c == u'n' || c == u'0') {
                c = c == u'r' ? u'\r' : c == u'n' ? u'\n' : u'\0';
            } else if (c != u'\\' && c != u'"') {
                return false;
            }
        }
        if (data != nullptr) AppendUtf16(*data, TextView(&c, 1));
    }
    return false;
}

}  // namespace

bool TextReader::Take(std::u16string_view word) {
    if (end_ - pos_ < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (UnitAt(pos_ + static_cast<std::uint32_t>(i)) != word[i]) return false;
    }
    pos_ += static_cast<std::uint32_t>(word.size());
    return true;
}

bool TextReader::TakeLineBreak() {
    if (AtEnd()) return true;
    if (Take(u'\r')) {
        Take(u'\n');
        return true;
    }
    return Take(u'\n');
}

bool TextReader::TakeLineTail() {
    SkipBlanks();
    if (!AtEnd() && Peek() == u';') SkipToLineEnd();
    return AtLineEnd() && TakeLineBreak();
}

bool TextReader::TakeHexNumber(int maxDigits, std::uint32_t* number) {
    std::uint32_t result = 0;
    int digits = 0;
    for (; !AtEnd() && HexDigit(Peek()) >= 0; ++pos_) {
        if (++digits > maxDigits) return false;
        result = result * 16 + static_cast<std::uint32_t>(HexDigit(Peek()));
    }
    *number = result;
    return digits > 0;
}

bool ReadValueData(TextReader& in, std::uint32_t* type, Bytes* data) {
    if (!in.AtEnd() && in.Peek() == u'"') {
        *type = REG_SZ;
        return ReadQuotedData(in, data);
    }
    if (in.Take(u"dword:")) {
        in.SkipBlanks();
        std::uint32_t number = 0;
        if (!in.TakeHexNumber(8, &number)) return false;
        *type = REG_DWORD;
        if (data != nullptr) {
            data->resize(4);
            StoreLe32(data->data(), number);
        }
        return true;
    }
    if (in.Take(u"hex:")) {
        *type = REG_BINARY;
        return ReadHexList(in, data);
    }
    if (in.Take(u"hex(")) {
        in.SkipBlanks();
        if (!in.TakeHexNumber(8, type) || !in.Take(u"):")) return false;
        return ReadHexList(in, data);
    }
    return false;  // "-", a deletion, among others
}

bool ReadValueLine(TextReader& in, ValueLine* value) {
    value->line.begin = in.Pos();
    in.SkipBlanks();
    if (in.Take(u'@')) {
        value->name = Span{in.Pos(), in.Pos()};
    } else if (!ReadQuotedName(in, &value->name.begin, &value->name.end)) {
        return false;
    }
    in.SkipBlanks();
    if (!in.Take(u'=')) return false;
    in.SkipBlanks();
    value->data = in.Pos();
    if (!ReadValueData(in, &value->type, nullptr) || !in.TakeLineTail()) return false;
    value->line.end = in.Pos();
    return true;
}

bool ReadQuotedName(TextReader& in, std::uint32_t* begin, std::uint32_t* end) {
    if (!in.Take(u'"')) return false;
    *begin = in.Pos();
    std::size_t length = 0;
    for (;; ++length) {
        // Plain characters, the most of any name, in a tight loop.
        const std::uint32_t start = in.Pos();
        const std::uint32_t stop = start + in.Remaining();
        std::uint32_t at = start;
        while (at != stop && !EndsPlainName(in.UnitAt(at))) ++at;
        length += at - start;
        in.Seek(at);
        if (in.AtLineEnd()) return false;
        const char16_t c = in.Peek();
        if (c == u'"') {
            *end = in.Pos();
            in.Advance();
            return length <= MaxValueNameLength;
        }
        if (c == 0) return false;
        in.Advance();  // a backslash: only \\ and \" may follow
        if (in.AtLineEnd() || (in.Peek() != u'\\' && in.Peek() != u'"')) return false;
        in.Advance();
    }
}

}  // namespace lumivarden::host
