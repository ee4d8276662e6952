// The entry's message for every kind of error, checked byte for byte.

#include "diagnostics/error_messages.h"

#include <cstdint>
#include <new>
#include <string>

#include <gtest/gtest.h>

namespace linkmoor {
namespace {

const char kProduct[] = "Linkmoor Technician Edition - Customer Module";

struct MessageCase {
    const char* name;
    uint16_t module;
    uint16_t line;
    uint32_t error;
    std::string text;
    std::string caption;
    uint32_t style;
};

TEST(ErrorMessages, ChoiceByErrorCodeAndSubCode) {
    const MessageCase cases[] = {
        {"administrator", 19, 74, 1313,
         "You have to be logged in as an administrator while installing this program!", kProduct,
         0x30},
        {"administrator whatever the place", 0, 0, 1313,
         "You have to be logged in as an administrator while installing this program!", kProduct,
         0x30},
        {"old windows", 19, 89, 1150,
         "You must run this program on the Windows 2000 Service Pack 4 or newer.", kProduct, 0x30},
        {"old windows whatever the place", 65535, 65535, 1150,
         "You must run this program on the Windows 2000 Service Pack 4 or newer.", kProduct, 0x30},
        {"package unreadable (-1)", 65535, 65535, 1359, "Error while unpacking modules.", kProduct,
         0x30},
        {"package damaged (-2)", 65535, 65534, 1359, "Installation package is damaged.", kProduct,
         0x30},
        {"package out of memory (-3)", 65535, 65533, 1359,
         "Not enough system resourses to complete the installation.", kProduct, 0x30},
        {"launch with identifier, file not found", 0, 168, 2, "Module: 0 Line 168 Err 0x2\n",
         "Installation Error", 0},
        {"launch, access denied", 0, 168, 5, "Module: 0 Line 168 Err 0x5\n", "Installation Error",
         0},
        {"directory under a missing parent", 19, 1045, 3, "Module: 19 Line 1045 Err 0x3\n",
         "Installation Error", 0},
        {"missing entry with no last error", 0, 394, 0, "Module: 0 Line 394 Err 0x0\n",
         "Installation Error", 0},
        {"64-bit refusal prints lower-case hex", 19, 101, 0xE0000233,
         "Module: 19 Line 101 Err 0xe0000233\n", "Installation Error", 0},
        {"largest fields print unsigned", 65535, 65535, 0xFFFFFFFF,
         "Module: 65535 Line 65535 Err 0xffffffff\n", "Installation Error", 0},
        {"hex digits a-f", 19, 940, 0xABCDEF, "Module: 19 Line 940 Err 0xabcdef\n",
         "Installation Error", 0},
        {"1359 with another sub-code is generic", 0, 1, 1359, "Module: 0 Line 1 Err 0x54f\n",
         "Installation Error", 0},
        {"1359 with sub-code -4 is generic", 65535, 65532, 1359,
         "Module: 65535 Line 65532 Err 0x54f\n", "Installation Error", 0},
        {"1359 with status 0 is generic", 0, 0, 1359, "Module: 0 Line 0 Err 0x54f\n",
         "Installation Error", 0},
        {"-1 sub-code with another code is generic", 65535, 65535, 1360,
         "Module: 65535 Line 65535 Err 0x550\n", "Installation Error", 0},
    };
    for (const MessageCase& c : cases) {
        CExceptionEx error(c.module, c.line, c.error);
        ErrorMessage message = ChooseErrorMessage(error);
        EXPECT_EQ(std::string(message.Text()), c.text) << c.name;
        EXPECT_EQ(std::string(message.caption), c.caption) << c.name;
        EXPECT_EQ(message.style, c.style) << c.name;
    }
}

TEST(ErrorMessages, FailuresOtherThanInstallerErrors) {
    ErrorMessage memory = OutOfMemoryMessage();
    EXPECT_EQ(std::string(memory.Text()),
              "Not enough system resourses to complete the installation.");
    EXPECT_EQ(std::string(memory.caption), kProduct);
    EXPECT_EQ(memory.style, 0x30u);

    ErrorMessage other = UnexpectedErrorMessage();
    EXPECT_EQ(std::string(other.Text()), "Unexpected error.");
    EXPECT_EQ(std::string(other.caption), kProduct);
    EXPECT_EQ(other.style, 0x30u);
}

}  // namespace
}  // namespace linkmoor
