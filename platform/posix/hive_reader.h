// Reading the hive file's text: code units, lines, names and value data in the
// forms the platform's import reads. Shared by the indexer, which checks the
// whole file, and by the look-ups, which decode one value when asked.
#ifndef LUMIVARDEN_POSIX_HIVE_READER_H
#define LUMIVARDEN_POSIX_HIVE_READER_H

#include <cstdint>
#include <string>

#include "byte_buffer.h"
#include "hive.h"
#include "little_endian.h"
#include "names.h"

namespace lumivarden::host {

class TextReader {
  public:
    TextReader(const ByteBuffer& bytes, std::uint32_t pos, std::uint32_t end)
        : data_(reinterpret_cast<const std::uint8_t*>(bytes.data())), pos_(pos), end_(end) {}

    std::uint32_t Pos() const { return pos_; }
    std::uint32_t Remaining() const { return end_ - pos_; }
    void Seek(std::uint32_t pos) { pos_ = pos; }
    bool AtEnd() const { return pos_ == end_; }
    // The next unit; only when not AtEnd().
    char16_t Peek() const { return UnitAt(pos_); }
    char16_t UnitAt(std::uint32_t at) const { return LoadLe16(data_ + 2 * std::size_t{at}); }
    bool AtLineEnd() const { return AtEnd() || Peek() == u'\r' || Peek() == u'\n'; }
    void Advance() { ++pos_; }

    bool Take(char16_t c) {
        if (AtEnd() || Peek() != c) return false;
        ++pos_;
        return true;
    }
    bool Take(std::u16string_view word);
    void SkipBlanks() {
        while (!AtEnd() && (Peek() == u' ' || Peek() == u'\t')) ++pos_;
    }
    // CRLF, LF or CR; the end of the text ends the last line as well.
    bool TakeLineBreak();
    void SkipToLineEnd() {
        while (pos_ != end_) {
            const char16_t c = UnitAt(pos_);
            if (c == u'\r' || c == u'\n') break;
            ++pos_;
        }
    }
    // Blanks, then a comment or nothing, then the line break.
    bool TakeLineTail();
    // From one to maxDigits hex digits.
    bool TakeHexNumber(int maxDigits, std::uint32_t* number);

  private:
    const std::uint8_t* data_;
    std::uint32_t pos_;
    std::uint32_t end_;
};

inline bool IsHexDigit(char16_t c) {
    // Both tests in one go, without a branch between them.
    return (static_cast<char16_t>(c - u'0') < 10) | (static_cast<char16_t>((c | 0x20) - u'a') < 6);
}

// The value of a hex digit, or -1.
inline int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    c |= 0x20;  // lower case
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

// Reads the data of a value line after its '=' and blanks, up to the line's
// tail: "text", dword:, hex: or hex(type):, continuation lines included. With
// data null it only checks.
bool ReadValueData(TextReader& in, std::uint32_t* type, Bytes* data);

struct ValueLine;

// A value line from its first unit, blanks before it included: @= or
// "name"=, the data, then blanks, a comment or nothing, and the line's end.
// The name may be no longer than the platform allows.
bool ReadValueLine(TextReader& in, ValueLine* value);

// A quoted value name, escapes as written, between the quotes: [begin, end).
// Only \\ and \" are escapes in a name.
bool ReadQuotedName(TextReader& in, std::uint32_t* begin, std::uint32_t* end);

// Walks a name's characters, escaped (a value name as the file spells it) or
// not (a key name, or a name given by a caller).
class NameCursor {
  public:
    NameCursor(const ByteBuffer& bytes, std::uint32_t begin, std::uint32_t end, bool escaped)
        : reader_(bytes, begin, end), escaped_(escaped) {}
    bool Next(char16_t* c) {
        if (reader_.AtEnd()) return false;
        *c = reader_.Peek();
        reader_.Advance();
        if (escaped_ && *c == u'\\' && !reader_.AtEnd()) {
            *c = reader_.Peek();
            reader_.Advance();
        }
        return true;
    }

  private:
    TextReader reader_;
    bool escaped_;
};

class ViewCursor {
  public:
    explicit ViewCursor(TextView text) : text_(text) {}
    bool Next(char16_t* c) {
        if (at_ == text_.size()) return false;
        *c = text_[at_++];
        return true;
    }

  private:
    TextView text_;
    std::size_t at_ = 0;
};

template <class A, class B>
bool SameName(A a, B b) {
    for (;;) {
        char16_t x = 0;
        char16_t y = 0;
        const bool moreA = a.Next(&x);
        if (moreA != b.Next(&y)) return false;
        if (!moreA) return true;
        if (x != y && FoldCase(x) != FoldCase(y)) return false;
    }
}

// The name's hash, and its length in characters.
template <class A>
std::uint64_t HashOfName(A name, std::size_t* length) {
    std::uint64_t hash = NameHashStart();
    *length = 0;
    for (char16_t c = 0; name.Next(&c); ++*length) hash = NameHashStep(hash, c);
    return hash;
}

// The hash of a key's path from its parent's hash and its own name's.
inline std::uint64_t ChildKeyHash(std::uint64_t parent, std::uint64_t name) {
    return MixHash(parent ^ (name * 0x9E3779B97F4A7C15ull));
}

}  // namespace lumivarden::host

#endif
