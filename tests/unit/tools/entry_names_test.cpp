// Entry name rules, input operands, list files, key bytes, the command line and the verdict table.

#include "tools/model/entry_names.h"
#include "tools/cli/command_line.h"
#include "tools/files/utf8.h"
#include "tools/model/verdicts.h"

#include "package/packed_tools.h"

#include <gtest/gtest.h>

namespace linkmoor::tools {
namespace {

TEST(EntryNames, PlainNamesAreAcceptedAndPathsRefused) {
    struct Case {
        const char* name;
        bool plain;
    };
    const Case cases[] = {
        {"libcrypto.dll.amd64", true}, {"qorvusbd.cat.v7", true}, {"openssl-license.txt", true},
        {"a b", true},                 {"CONSOLE.txt", true},     {"..x", true},
        {"", false},                   {".", false},              {"..", false},
        {"sub/x", false},              {"sub\\x", false},         {"../evil", false},
        {"c:x", false},                {"a*b", false},            {"a?", false},
        {"tab\there", false},
        {"trailing.", false},          {"trailing ", false},      {"con", false},
        {"NUL.txt", false},            {"Com1.dll", false},       {"lpt9", false},
        {"\xD0\xB6\xD1\x83\xD0\xBA.dll", true},     {"\xE9t\xE9.dll", false},  // UTF-8, or not
    };
    for (const Case& c : cases) EXPECT_EQ(WhyNotPlainName(c.name).empty(), c.plain) << "'" << c.name << "'";
    EXPECT_FALSE(WhyNotPlainName(std::string("a\0b", 3)).empty());

    // Windows takes 255 UTF-16 units per name; a character above U+FFFF takes two of them.
    std::string packages, accents;
    for (int i = 0; i < 127; ++i) packages += "\xF0\x9F\x93\xA6";  // U+1F4E6
    for (int i = 0; i < 255; ++i) accents += "\xC3\xA9";
    const std::pair<std::string, bool> lengths[] = {
        {std::string(255, 'a'), true}, {std::string(256, 'a'), false}, {packages + "a", true},
        {packages + "ab", false},      {accents, true},                  {accents + "a", false},
    };
    for (const auto& [name, plain] : lengths) EXPECT_EQ(WhyNotPlainName(name).empty(), plain) << name.size();
    EXPECT_EQ(WhyNotPlainName(std::string(256, 'a')),
              "is 256 UTF-16 units long; Windows takes at most 255 in a file name");
}

TEST(EntryNames, TextOutputShowsControlBytesEscaped) {
    const std::pair<std::string, std::string> cases[] = {
        {"qorvusbd.inf", "qorvusbd.inf"},
        {"\xD0\xB6.dll", "\xD0\xB6.dll"},                                     // UTF-8 as it is
        {"x\x1B[2Jy", "x\\u001b[2Jy"},                                        // an escape sequence
        {std::string("a\0\n\x7F", 4), "a\\u0000\\u000a\\u007f"},
        {"\xC2\x9B" "31m", "\\u009b31m"},                                     // C1 CSI
        {"a\\b", "a\\\\b"},
        {"\xE9t\xE9", "\\xe9t\\xe9"},                                            // no UTF-8
    };
    for (const auto& [name, shown] : cases) EXPECT_EQ(ShownName(name), shown) << shown;
}

// List files written on Windows: UTF-16 in either byte order, with or without a byte order mark.
TEST(EntryNames, Utf16TextIsFoundAndConverted) {
    auto bytes = [](const std::u16string& text, bool little, bool mark) {
        std::vector<uint8_t> out;
        for (char16_t unit : (mark ? u"\uFEFF" : u"") + text) {
            out.push_back(uint8_t(little ? unit : unit >> 8));
            out.push_back(uint8_t(little ? unit >> 8 : unit));
        }
        return out;
    };
    const std::u16string list = u"a.dll=\u0436\r\nb\U0001F4E6\n";
    const std::string utf8 = "a.dll=\xD0\xB6\r\nb\xF0\x9F\x93\xA6\n";
    for (bool little : {true, false}) {
        for (bool mark : {true, false}) {
            const std::vector<uint8_t> file = bytes(list, little, mark);
            const TextEncoding encoding = DetectTextEncoding(file);
            EXPECT_EQ(encoding, little ? TextEncoding::kUtf16Le : TextEncoding::kUtf16Be) << little << mark;
            std::string text;
            EXPECT_TRUE(Utf8FromUtf16(file, encoding, text));
            EXPECT_EQ(text, utf8);
        }
    }
    std::string text;
    const std::u16string lone = {u'a', char16_t(0xD800), u'b'};  // a high surrogate without its pair
    EXPECT_FALSE(Utf8FromUtf16(bytes(lone, true, true), TextEncoding::kUtf16Le, text));
    EXPECT_EQ(DetectTextEncoding({'a', '\n', 'b', '\n'}), TextEncoding::kUtf8);
    EXPECT_EQ(DetectTextEncoding({'M', 'Z', 0, 0, 3, 0, 0, 0}), TextEncoding::kUtf8);  // zeros everywhere
}

TEST(EntryNames, SpecsSplitAtTheLastEquals) {
    struct Case {
        const char* operand;
        const char* path;
        const char* name;
    };
    const Case cases[] = {
        {"dir/file.dll", "dir/file.dll", "file.dll"},
        {"file.dll", "file.dll", "file.dll"},
        {"dir/file.dll=libssl.dll.x86", "dir/file.dll", "libssl.dll.x86"},
        {"a=b/c=name", "a=b/c", "name"},
        {"dir/file=", "dir/file", ""},
        {"dir/", "dir/", ""},
    };
    for (const Case& c : cases) {
        InputOperand input = SplitInputOperand(c.operand);
        EXPECT_EQ(input.path, c.path) << c.operand;
        EXPECT_EQ(input.name, c.name) << c.operand;
    }
}

TEST(EntryNames, ListFilesSkipBlankAndCommentLinesAndKeepLineNumbers) {
    struct Case {
        const char* text;
        std::vector<std::pair<size_t, std::string>> lines;
    };
    const Case cases[] = {
        {"a.dll\r\n\n# note\nb.dll=x\nlast", {{1, "a.dll"}, {4, "b.dll=x"}, {5, "last"}}},
        // A byte order mark, blanks around lines, blank lines of blanks, indented comments.
        {"\xEF\xBB\xBF  a b.dll = n \t\r\n \t \n   # indented\n\tlast\r\n", {{1, "a b.dll = n"}, {4, "last"}}},
        {"", {}},
        {"\n\r\n#only\n", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<size_t, std::string>> lines;
        for (const ListLine& line : ParseListText(c.text)) lines.emplace_back(line.number, line.text);
        EXPECT_EQ(lines, c.lines) << c.text;
    }
}

TEST(EntryNames, CaseFoldingIsAsciiOnly) {
    EXPECT_EQ(FoldedName("Foo.DLL"), FoldedName("foo.dll"));
    EXPECT_EQ(FoldedName("qorvusbd.cat.v7"), "QORVUSBD.CAT.V7");
    EXPECT_NE(FoldedName("\xC3\xA9.txt"), FoldedName("\xC3\x89.txt"));  // e-acute and E-acute stay apart
}

TEST(EntryNames, KeyBytesInDecimalOrHexadecimal) {
    struct Case {
        const char* text;
        bool ok;
        uint8_t key;
    };
    const Case cases[] = {
        {"0", true, 0},     {"7", true, 7},       {"255", true, 255}, {"0x5a", true, 0x5A},
        {"0XFF", true, 255}, {"0x0", true, 0},    {"256", false, 0},  {"0x100", false, 0},
        {"", false, 0},     {"0x", false, 0},     {"-1", false, 0},   {"12a", false, 0},
        {"0012", false, 0}, {" 1", false, 0},
    };
    for (const Case& c : cases) {
        uint8_t key = 99;
        EXPECT_EQ(ParseKeyByte(c.text, key), c.ok) << c.text;
        if (c.ok) EXPECT_EQ(key, c.key) << c.text;
    }
}

TEST(CommandLine, OptionsOperandsAndRefusals) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
        size_t operands;
    };
    const Case cases[] = {
        {{"create", "out", "a", "b"}, true, 3},
        {{"create", "--force", "--key", "9", "out", "a"}, true, 2},
        {{"create", "--key=9", "--list=l1", "out", "a"}, true, 2},
        {{"create", "out", "--list", "l1", "--list", "l2"}, true, 1},
        {{"create", "--", "--force", "-a"}, true, 2},
        {{"create", "-", "a"}, true, 2},
        {{"create", "--list", "-", "out"}, true, 1},
        {{"create", "out", "-"}, false, 0},
        {{"verify", "-"}, false, 0},
        {{"verify", "./-"}, true, 1},
        {{"create", "--key"}, false, 0},
        {{"create", "--key=300", "out", "a"}, false, 0},
        {{"create", "--force=yes", "out", "a"}, false, 0},
        {{"create", "--bogus", "out", "a"}, false, 0},
        {{"create", "--json", "out", "a"}, true, 2},
        {{"create", "--json", "-", "a"}, false, 0},
        {{"explain", "--json", "x"}, false, 0},
        {{"verify", "--strict", "f"}, false, 0},
        {{"check", "--strict", "--quiet", "f"}, true, 1},
        {{"check", "--quiet=1", "f"}, false, 0},
        {{"verify", "--key", "1", "f"}, false, 0},
        {{"verify", "--force", "f"}, false, 0},
        {{"verify", "--json", "f"}, true, 1},
        {{"diff", "--json", "a", "b"}, true, 2},
        {{"list", "--list", "x", "f"}, false, 0},
        {{"append", "--force", "e", "p", "o"}, true, 3},
        {{"extract", "--force", "f", "d"}, true, 2},
        {{"extract", "--bogus", "--help"}, false, 0},
        {{"extract", "--force", "--help"}, true, 0},
        {{}, false, 0},
    };
    for (const Case& c : cases) {
        CommandLine line = ParseCommandLine(c.args);
        std::string shown;
        for (const std::string& a : c.args) shown += a + " ";
        EXPECT_EQ(line.error.empty(), c.ok) << shown << line.error;
        if (c.ok) EXPECT_EQ(line.operands.size(), c.operands) << shown;
    }
    CommandLine line = ParseCommandLine({"create", "--force", "--key=0x10", "--list", "l", "--list=m", "out"});
    EXPECT_TRUE(line.force);
    EXPECT_TRUE(line.keyGiven);
    EXPECT_EQ(line.key, 0x10);
    EXPECT_EQ(line.listFiles, (std::vector<std::string>{"l", "m"}));
}

TEST(Verdicts, EachStatusHasItsWordsAndExitCode) {
    struct Case {
        int32_t status;
        const char* verdict;
        int exitCode;
    };
    const Case cases[] = {
        {kPackageOk, "package valid", 0},
        {kPackageDamaged, "no package, or the package is damaged", 1},
        {kPackageNotRead, "the file cannot be read", 2},
        {kPackageNoMemory, "not enough memory to load the package", 3},
        {-7, "the reader reported an unknown status", 4},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(VerdictOf(c.status), c.verdict) << c.status;
        EXPECT_EQ(ExitCodeOf(c.status), c.exitCode) << c.status;
    }
}

}  // namespace
}  // namespace linkmoor::tools
