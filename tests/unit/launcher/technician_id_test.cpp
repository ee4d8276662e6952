// The identifier taken from the launcher's file name and full path.
#include "launcher/technician_id.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct IdCase {
    const char* path;
    const char* expected;  // "" when the name carries no identifier
};

class TechnicianIdFromPathTest : public ::testing::TestWithParam<IdCase> {};

TEST_P(TechnicianIdFromPathTest, YieldsExpectedIdentifier) {
    const IdCase& c = GetParam();
    EXPECT_EQ(linkmoor::TechnicianIdFromPath(c.path), c.expected) << "path: " << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    FileNames, TechnicianIdFromPathTest,
    ::testing::Values(
        // Names that carry the identifier.
        IdCase{"support_101234567890.exe", "101234567890"},
        IdCase{"101234567890.exe", "101234567890"},
        IdCase{"ab_cd_101234567890.exe", "101234567890"},
        IdCase{"_101234567890.exe", "101234567890"},
        IdCase{"support_109999999999.exe", "109999999999"},
        // Names that carry none.
        IdCase{"support-101234567890.exe", ""},
        IdCase{"support_101234567890.EXE", ""},
        IdCase{"support_101234567890.Exe", ""},
        IdCase{"support_101234567890 (1).exe", ""},
        IdCase{"support_101234567890", ""},
        IdCase{"x101234567890.exe", ""},
        IdCase{"support_1012345678901.exe", ""},
        IdCase{"support_10123456789.exe", ""},
        IdCase{"support_991234567890.exe", ""},
        IdCase{"support_101234567890.exe.txt", ""},
        IdCase{"support_10123456789a.exe", ""},
        IdCase{"support_101234567890xexe", ""},
        IdCase{"", ""}));

INSTANTIATE_TEST_SUITE_P(
    FullPaths, TechnicianIdFromPathTest,
    ::testing::Values(
        // The backslash alternative, although an underscore stands earlier in the path.
        IdCase{R"(C:\Users\ab_cd\Downloads\101234567890.exe)", "101234567890"},
        IdCase{R"(C:\Users\ab_cd\101234567890x.exe)", ""},
        IdCase{R"(C:\Users\ab_cd\support_101234567890.exe)", "101234567890"},
        IdCase{R"(C:\Users\user\Downloads\support_101234567890.exe)", "101234567890"},
        IdCase{R"(C:\Users\user\Downloads\support-101234567890.exe)", ""},
        // An underscore in a folder name does not make a prefixed name acceptable ...
        IdCase{R"(C:\dl_x\support-101234567890.exe)", ""},
        // ... but the underscore alternative spans folders: any text, "_", then the digits.
        IdCase{R"(C:\dl_101234567890.exe)", "101234567890"},
        IdCase{R"(\\?\Volume{01234567-89ab-cdef-0123-456789abcdef}\101234567890.exe)",
               "101234567890"},
        IdCase{R"(C:\101234567890.exe\other.exe)", ""}));

TEST(TechnicianIdPattern, IsTheExactExpressionText) {
    // The expression as the engine receives it: one literal backslash in the first alternative.
    EXPECT_STREQ(linkmoor::kTechnicianIdPattern, "(?:\\\\|.*_|^)(10[0-9]{10})\\.exe$");
}

}  // namespace
