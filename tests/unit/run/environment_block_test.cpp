// The customer module's environment: chosen variables set or removed, every other one kept in its
// place.
#include "run/environment_block.h"

#include <gtest/gtest.h>

#include <string>

namespace linkmoor {
namespace {

// Blocks are written with '|' for each zero character.
std::wstring Block(const std::wstring& text) {
    std::wstring block = text;
    for (wchar_t& c : block)
        if (c == L'|') c = L'\0';
    return block;
}

TEST(EnvironmentBlock, PathIsReplacedWhereverAndHoweverItIsSpelt) {
    const struct {
        const char* what;
        std::wstring before;  // null for an empty environment
        std::wstring after;
    } cases[] = {
        {"in its place, under its spelling", L"=C:=C:\\x|ALLUSERSPROFILE=a|Path=C:\\user;b|TEMP=t||",
         L"=C:=C:\\x|ALLUSERSPROFILE=a|Path=S|TEMP=t||"},
        {"upper case, the user's value gone", L"A=1|PATH=C:\\evil|Z=2||", L"A=1|PATH=S|Z=2||"},
        {"every spelling of it, once", L"PATH=1|path=2|X=3||", L"PATH=S|X=3||"},
        {"missing: added in its sorted place", L"=C:=C:\\x|A=1|TEMP=t||", L"=C:=C:\\x|A=1|Path=S|TEMP=t||"},
        {"missing, at the end", L"A=1|B=2||", L"A=1|B=2|Path=S||"},
        {"a name that only starts like it", L"PATHEXT=.COM||", L"Path=S|PATHEXT=.COM||"},
        {"an empty environment", L"", L"Path=S||"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring before = Block(c.before);
        EXPECT_EQ(WithVariablesSet(c.before.empty() ? nullptr : before.c_str(), {{L"Path", L"S"}}),
                  Block(c.after));
    }
}

TEST(EnvironmentBlock, SeveralVariablesSetAndAnEmptyValueRemoves) {
    const std::wstring before = Block(L"ComSpec=C:\\user.exe|OPENSSL_CONF=x|Path=p|tmp=u||");
    EXPECT_EQ(WithVariablesSet(before.c_str(), {{L"TEMP", L"T"},
                                                {L"TMP", L"T"},
                                                {L"OPENSSL_CONF", L""},
                                                {L"USERNAME", L""},
                                                {L"APPDATA", L"A"}}),
              Block(L"APPDATA=A|ComSpec=C:\\user.exe|Path=p|TEMP=T|tmp=T||"));
}

}  // namespace
}  // namespace linkmoor
