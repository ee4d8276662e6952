// The engine's package step with the running program itself as the package file: built once
// plain and once with a package appended (LINKMOOR_EXPECT_PACKAGE=1 for that copy).

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "catch_error.h"
#include "installer/installer.h"
#include "log_file.h"
#include "scratch_folder.h"
#include "whole_file.h"

namespace linkmoor::test {
namespace {

bool CarriesPackage() {
    const char* expect = getenv("LINKMOOR_EXPECT_PACKAGE");
    return expect && std::string(expect) == "1";
}

TEST(Package, OpenedFromTheRunningProgram) {
    CScratchFolder folder;
    CLogFile log(folder.Join("engine.log"));
    std::unique_ptr<CExceptionEx> error;
    {
        std::unique_ptr<CInstaller> installer;
        error = CatchError([&] {
            installer.reset(new CInstaller(log.Handle(), true, true, false, false));
        });
        if (CarriesPackage()) {
            ASSERT_FALSE(error);
            const uint8_t* data = nullptr;
            uint32_t size = 0;
            ASSERT_EQ(installer->m_packedTools->GetFile("readme.txt", &data, &size), 1);
            // Written straight from the reader's block.
            installer->InstallFile("readme.txt", folder.Path().c_str(), data, size);
            EXPECT_EQ(ReadFileBytes(folder.Join("readme.txt")), "carried in the package");
        }
    }
    if (CarriesPackage()) {
        EXPECT_EQ(log.Contents(), "Install File: " + folder.Join("readme.txt") + "\r\n");
    } else {
        // No package in the file: status -2 split over module and line.
        ASSERT_TRUE(error);
        EXPECT_EQ(error->m_module, 65535);
        EXPECT_EQ(error->m_line, 65534);
        EXPECT_EQ(error->m_error, 1359u);
        EXPECT_EQ(log.Contents(), "Error: Init installer\r\n");
    }
}

TEST(Package, NotOpenedWhenNotAsked) {
    CInstaller installer(INVALID_HANDLE_VALUE, false, true, false, false);
    EXPECT_EQ(installer.m_packedTools->m_status, 0);
    EXPECT_TRUE(installer.m_packedTools->m_files.empty());
}

}  // namespace
}  // namespace linkmoor::test
