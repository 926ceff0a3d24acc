#include "file_format_cases.h"

#include <algorithm>

#include "names.h"
#include "test_support.h"

namespace testing_support {
namespace {

using lumivarden::host::FoldCase;
using lumivarden::host::Hive;
using lumivarden::host::HiveKey;

const std::string Key = "[HKEY_CURRENT_USER\\$P]\n";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// A line the import skips, going on with the next: the host layer refuses the file.
FileFormatCase Skipped(const char* name, const std::string& line) {
    return {name, Key + line + "\n\"z\"=\"x\"\n", std::nullopt, Key + "\"z\"=\"x\"\n"};
}

std::string Folded(const std::u16string& text) {
    std::string folded;
    for (char16_t c : text) {
        const char16_t f = FoldCase(c);
        folded.push_back(static_cast<char>(f >> 8));
        folded.push_back(static_cast<char>(f & 0xFF));
    }
    return folded;
}

std::vector<FileFormatCase> MakeCases() {
    const std::string longName(255, 'k');
    const std::string tooLongName(256, 'k');
    // $P lies three levels below the root: keys "d\d\..." below it that reach
    // a level of the tree, as a section naming the deepest and as an export.
    const auto nested = [](int level, std::string* exported) {
        std::string section = "[HKEY_CURRENT_USER\\$P";
        *exported = Key;
        for (int each = 4; each <= level; ++each) {
            section += "\\d";
            *exported += "\n" + section + "]\n";
        }
        return section + "]\n";
    };
    std::string deepest;
    std::string tooDeep;
    const std::string deepestKey = nested(512, &deepest);
    const std::string tooDeepKey = nested(513, &tooDeep);
    const std::string valueName(16383, 'v');

    return {
        // Read alike.
        {"RootSection", "[HKEY_CURRENT_USER]\n\n" + Key + "\"a\"=\"x\"\n", Key + "\"a\"=\"x\"\n"},
        {"RootSectionWithBackslash", "[HKEY_CURRENT_USER\\]\n\n" + Key + "\"a\"=\"x\"\n",
         Key + "\"a\"=\"x\"\n"},
        {"TrailingBackslash", "[HKEY_CURRENT_USER\\$P\\]\n\"a\"=\"x\"\n", Key + "\"a\"=\"x\"\n"},
        {"DoubledBackslash", "[HKEY_CURRENT_USER\\$P\\\\G]\n\"a\"=\"x\"\n",
         Key + "\n[HKEY_CURRENT_USER\\$P\\G]\n\"a\"=\"x\"\n"},
        {"LastLineWithoutLineEnd", Key + "\"a\"=\"x\"", Key + "\"a\"=\"x\"\n"},
        {"LastHexLineWithoutLineEnd", Key + "\"a\"=hex:01,02", Key + "\"a\"=hex:01,02\n"},
        {"LineFeeds", Key + "\"a\"=\"x\"\n", Key + "\"a\"=\"x\"\n", std::nullopt, "\n"},
        {"CarriageReturns", Key + "\"a\"=\"x\"\n", Key + "\"a\"=\"x\"\n", std::nullopt, "\r"},
        {"Blanks",
         "  [HKEY_CURRENT_USER\\$P]  \n  \"a\" = \"x\"  \n\"b\"\t=\tdword:1\n\"c\"=dword: 2\n",
         Key + "\"a\"=\"x\"\n\"b\"=dword:00000001\n\"c\"=dword:00000002\n"},
        {"TextAfterSectionName", "[HKEY_CURRENT_USER\\$P] x\n\"a\"=\"x\"\n", Key + "\"a\"=\"x\"\n"},
        {"BracketInKeyName", "[HKEY_CURRENT_USER\\$P\\a]b]\n\"a\"=\"x\"\n",
         Key + "\n[HKEY_CURRENT_USER\\$P\\a]b]\n\"a\"=\"x\"\n"},
        {"Comments", Key + "; c\n\"a\"=\"x\" ; c\n  ;x\n\"b\"=dword:2 ;c\n\"c\"=hex:01,02;c\n",
         Key + "\"a\"=\"x\"\n\"b\"=dword:00000002\n\"c\"=hex:01,02\n"},
        {"RootNameSpellings", "[hkey_current_user\\$P]\n\"a\"=\"x\"\n[HKCU\\$P]\n\"b\"=\"y\"\n",
         Key + "\"a\"=\"x\"\n\"b\"=\"y\"\n"},
        {"ShortDwordDigits", Key + "\"a\"=dword:1\n\"b\"=dword:fFfFfFfF\n",
         Key + "\"a\"=dword:00000001\n\"b\"=dword:ffffffff\n"},
        {"ContinuationLines",
         Key + "\"a\"=hex:01,\\\n  02\n\"b\"=hex:01,\\\n\n  02\n\"c\"=hex:01,\\\n;x\n  02\n"
               "\"d\"=hex:01, \\\n02\n\"e\"=hex:01,\\  \n  02\n",
         Key + "\"a\"=hex:01,02\n\"b\"=hex:01,02\n\"c\"=hex:01,02\n\"d\"=hex:01,02\n"
               "\"e\"=hex:01,02\n"},
        {"HexListEnds", Key + "\"a\"=hex:01,\n\"b\"=hex:1,2\n\"c\"=hex: 01, 02 \n",
         Key + "\"a\"=hex:01\n\"b\"=hex:01,02\n\"c\"=hex:01,02\n"},
        {"TypeNumbers",
         Key + "\"a\"=hex( 2):41,00,00,00\n\"b\"=hex(100):01\n\"c\"=hex(ffffffff):01\n"
               "\"d\"=hex(0):\n",
         Key + "\"a\"=hex(2):41,00,00,00\n\"b\"=hex(100):01\n\"c\"=hex(ffffffff):01\n"
               "\"d\"=hex(0):\n"},
        {"DefaultValueSpellings", Key + "\"\"=\"x\"\n\"b\"=\"y\"\n@=\"z\"\n",
         Key + "@=\"z\"\n\"b\"=\"y\"\n"},
        {"Escapes", Key + "\"a\\\\b\"=\"c\\\"d\"\n\"e\"=\"f\\ng\"\n",
         Key + "\"a\\\\b\"=\"c\\\"d\"\n\"e\"=\"f\\ng\"\n"},
        // Neighbouring sections that spell the start of their names alike.
        {"NeighbourSections",
         "[HKEY_CURRENT_USER\\$P\\A\\B]\n\"a\"=\"1\"\n[HKEY_CURRENT_USER\\$P\\A\\BC]\n\"b\"=\"2\"\n"
         "[HKEY_CURRENT_USER\\$P\\a\\b]\n\"c\"=\"3\"\n[HKEY_CURRENT_USER\\$P\\A\\\\B\\]\n\"d\"="
         "\"4\"\n" +
             Key + "\"e\"=\"5\"\n",
         Key + "\"e\"=\"5\"\n\n[HKEY_CURRENT_USER\\$P\\A]\n\n[HKEY_CURRENT_USER\\$P\\A\\B]\n"
               "\"a\"=\"1\"\n\"c\"=\"3\"\n\"d\"=\"4\"\n\n[HKEY_CURRENT_USER\\$P\\A\\BC]\n\"b\"="
               "\"2\"\n"},
        {"NameGivenTwice", Key + "\"a\"=\"1\"\n\"A\"=\"2\"\n", Key + "\"a\"=\"2\"\n"},
        {"SectionGivenTwice",
         Key + "\"a\"=\"1\"\n[HKEY_CURRENT_USER\\$P\\G]\n" + Key + "\"b\"=\"2\"\n",
         Key + "\"a\"=\"1\"\n\"b\"=\"2\"\n\n[HKEY_CURRENT_USER\\$P\\G]\n"},
        {"LongestKeyName", "[HKEY_CURRENT_USER\\$P\\" + longName + "]\n",
         Key + "\n[HKEY_CURRENT_USER\\$P\\" + longName + "]\n"},
        {"DeepestKey", deepestKey, deepest},
        {"LongestValueName", Key + "\"" + valueName + "\"=\"x\"\n",
         Key + "\"" + valueName + "\"=\"x\"\n"},

        // Refused by the host layer; the import reads them otherwise.
        {"KeyDeletion", Key + "\"a\"=\"x\"\n[-HKEY_CURRENT_USER\\$P]\n" + Key + "\"b\"=\"y\"\n",
         std::nullopt, Key + "\"b\"=\"y\"\n"},
        {"ValueDeletion", Key + "\"a\"=\"x\"\n\"b\"=\"y\"\n\"a\"=-\n", std::nullopt,
         Key + "\"b\"=\"y\"\n"},
        {"KeyNameTooLong", "[HKEY_CURRENT_USER\\$P\\" + tooLongName + "]\n", std::nullopt,
         Key + "\n[HKEY_CURRENT_USER\\$P\\" + tooLongName + "]\n"},
        {"KeyTooDeep", tooDeepKey, std::nullopt, tooDeep},
        {"ValueNameTooLong", Key + "\"" + valueName + "v\"=\"x\"\n\"b\"=\"y\"\n", std::nullopt,
         Key + "\"b\"=\"y\"\n"},
        {"ContinuationAtTheEnd", Key + "\"z\"=\"x\"\n\"a\"=hex:01,\\\n\n", std::nullopt,
         Key + "\"z\"=\"x\"\n\"a\"=hex:01\n"},
        {"UnknownEscape", Key + "\"a\"=\"i\\qj\"\n", std::nullopt, Key + "\"a\"=\"iqj\"\n"},
        {"LineBreakEscapeInName", Key + "\"a\\nb\"=\"x\"\n", std::nullopt,
         Key + "\"a\\nb\"=\"x\"\n"},
        {"EmptyType", Key + "\"a\"=hex():41\n", std::nullopt, Key + "\"a\"=hex(0):41\n"},
        {"ValueBeforeAnySection", "\"a\"=\"x\"\n" + Key + "\"b\"=\"y\"\n", std::nullopt,
         Key + "\"b\"=\"y\"\n"},
        {"BlankBeforeRootName", "[ HKEY_CURRENT_USER\\$P]\n\"a\"=\"x\"\n", std::nullopt, ""},
        {"DoubledBackslashAfterRoot", "[HKEY_CURRENT_USER\\\\$P]\n\"a\"=\"x\"\n", std::nullopt, ""},
        {"HeaderWithTrailingBlank", Key + "\"a\"=\"x\"\n", std::nullopt, "", "\r\n",
         "Windows Registry Editor Version 5.00 "},
        Skipped("UpperCaseDword", "\"a\"=DWORD:1"),
        Skipped("UpperCaseHex", "\"a\"=HEX:01"),
        Skipped("EmptyDword", "\"a\"=dword:"),
        Skipped("NineDigitDword", "\"a\"=dword:123456789"),
        Skipped("BadDwordDigit", "\"a\"=dword:0000000g"),
        Skipped("BlankBeforeDwordColon", "\"a\"=dword :1"),
        Skipped("BlankBeforeComma", "\"a\"=hex:01 ,02"),
        Skipped("ThreeDigitByte", "\"a\"=hex:123"),
        Skipped("BadHexDigit", "\"a\"=hex:0g"),
        Skipped("NineDigitType", "\"a\"=hex(1ffffffff):01"),
        Skipped("UnclosedType", "\"a\"=hex(2:41,00"),
        Skipped("BlankBeforeTypeColon", "\"a\"=hex(2) :41,00"),
        Skipped("TextAfterString", "\"a\"=\"x\" y"),
        Skipped("UnclosedString", "\"a\"=\"x"),
        Skipped("NulEscapeInName", "\"a\\0b\"=\"x\""),
        Skipped("UnknownLine", "v=1"),

        // Not for the import: they would write elsewhere, or are not text at all.
        {"OtherRoot", "[HKEY_LOCAL_MACHINE\\$P]\n", std::nullopt, std::nullopt, "\r\n",
         "Windows Registry Editor Version 5.00", false},
        {"OtherHeader", Key, std::nullopt, std::nullopt, "\r\n", "REGEDIT4", false},
        {"UnclosedSection", "[HKEY_CURRENT_USER\\$P\n", std::nullopt, std::nullopt, "\r\n",
         "Windows Registry Editor Version 5.00", false},
        {"NulInValueName", Key + "\"a" + std::string(1, '\0') + "b\"=\"1\"\n", std::nullopt,
         std::nullopt, "\r\n", "Windows Registry Editor Version 5.00", false},
    };
}

}  // namespace

const std::vector<FileFormatCase>& FileFormatCases() {
    static const std::vector<FileFormatCase> cases = MakeCases();
    return cases;
}

std::string CasePath(const FileFormatCase& c) {
    return std::string("Software\\LumivardenFormat\\") + c.name;
}

std::string FileFormatBytes(const FileFormatCase& c, const std::string& path) {
    const std::string text = std::string(c.header) + "\n\n" + Replace(c.body, "$P", path);
    return HiveFileBytes(Replace(text, "\n", c.lineBreak), false);
}

std::string ExportBytes(const std::string& text, const std::string& path) {
    return HiveFileBytes("Windows Registry Editor Version 5.00\n\n" + Replace(text, "$P", path));
}

Hive Branch(const Hive& hive, const std::string& path) {
    const std::u16string wide(path.begin(), path.end());
    const std::string folded = Folded(wide);
    Hive branch;
    for (const HiveKey& key : hive.keys) {
        const std::string keyPath = Folded(key.path);
        if (keyPath != folded && keyPath.rfind(folded + Folded(u"\\"), 0) != 0) continue;
        HiveKey copy = key;
        std::sort(copy.values.begin(), copy.values.end(),
                  [](const auto& a, const auto& b) { return Folded(a.name) < Folded(b.name); });
        branch.keys.push_back(std::move(copy));
    }
    std::sort(branch.keys.begin() + 1, branch.keys.end(),
              [](const auto& a, const auto& b) { return Folded(a.path) < Folded(b.path); });
    return branch;
}

}  // namespace testing_support
