#include <windows.h>
#include <gtest/gtest.h>

TEST(WineSmoke, ReportsAVersion) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_GE(info.dwMajorVersion, 5u);
}
