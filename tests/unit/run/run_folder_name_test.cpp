// The run folder's name: its alphabet, its length and the one case of a 33-character name,
// checked against an independent reading of the same draws.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "run/run_folder_name.h"

namespace linkmoor {
namespace {

// What the name must be for the next 32 draws: each draw 1..16 as a hex digit, where 16 leaves
// "1" except at the end, where it leaves "10".
std::string ExpectedName(unsigned seed) {
    std::srand(seed);
    std::string name;
    for (int i = 0; i < 32; ++i) {
        const int r = std::rand() % 16 + 1;
        if (r == 16)
            name += (i == 31) ? "10" : "1";
        else
            name += "0123456789abcdef"[r];
    }
    return name;
}

TEST(RunFolderNameTest, FollowsTheDrawsForManySeeds) {
    int longNames = 0;
    for (unsigned seed = 0; seed < 2000; ++seed) {
        const std::string expected = ExpectedName(seed);
        std::srand(seed);
        char name[kRunFolderNameBuffer];
        std::memset(name, 'X', sizeof(name));
        DrawRunFolderName(name);
        ASSERT_EQ(std::string(name), expected) << "seed " << seed;
        ASSERT_TRUE(expected.size() == 32 || expected.size() == 33);
        // Never a 0 before the end, never a character outside 1-9 and a-f.
        ASSERT_EQ(expected.substr(0, 32).find_first_not_of("123456789abcdef"), std::string::npos);
        // The rest of the buffer stays zero.
        for (size_t i = expected.size(); i < sizeof(name); ++i) ASSERT_EQ(name[i], 0);
        if (expected.size() == 33) ++longNames;
    }
    // About one seed in sixteen ends in a 16; the case must actually have been met.
    EXPECT_GT(longNames, 0);
}

TEST(RunFolderNameTest, ConsecutiveDrawsGiveDifferentNames) {
    std::srand(7);
    char first[kRunFolderNameBuffer];
    char second[kRunFolderNameBuffer];
    DrawRunFolderName(first);
    DrawRunFolderName(second);
    EXPECT_STRNE(first, second);
}

}  // namespace
}  // namespace linkmoor
