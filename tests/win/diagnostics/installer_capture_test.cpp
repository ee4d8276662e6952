// The capture switched on through the installer engine's flag: the engine's own lines come
// first, the SetupAPI growth follows between its banners when the engine is destroyed, and the
// level is raised only while the engine lives.

#include <windows.h>

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "win32/unique_handle.h"
#include "installer/installer.h"
#include "setup_registry.h"
#include "log_file.h"
#include "scratch_folder.h"
#include "whole_file.h"

namespace linkmoor {
namespace {

using namespace test;

TEST(InstallerCapture, FlagStartsTheCaptureAndTeardownEndsIt) {
    struct FlagCase {
        bool capture;
        std::string expectedTail;
        uint32_t levelDuring;
    };
    const FlagCase cases[] = {
        {true,
         "==== SetupApi log begin ====\r\n"
         "dvi: installed\r\n"
         "===== SetupApi log end =====\r\n",
         0x5050},
        {false, "", 0x77},
    };
    for (const FlagCase& c : cases) {
        SCOPED_TRACE(c.capture ? "captureSetupLog on" : "captureSetupLog off");
        std::optional<CSetupValuesKeeper> keeper(std::in_place);
        CScratchFolder folder;
        SetLogPath(folder.Path());
        SetLogLevel(0x77);
        std::string setupLog = folder.Join("setupapi.dev.log");
        WriteFileBytes(setupLog, "earlier\r\n");
        std::string logPath = folder.Join("launcher.log");
        UniqueFile logFile(CreateLogFile(logPath));
        {
            CInstaller installer(logFile.Get(), false, false, false, c.capture);
            EXPECT_EQ(ReadLogLevel(), c.levelDuring);
            installer.Log("engine line", nullptr);
            AppendFileBytes(setupLog, "dvi: installed\r\n");
        }
        EXPECT_EQ(ReadLogLevel(), 0x77u);
        std::string log = ReadFileBytes(logPath);
        ASSERT_GE(log.size(), c.expectedTail.size());
        // The engine may write lines of its own (the RunOnce key); the capture comes last.
        EXPECT_NE(log.find("engine line\r\n"), std::string::npos);
        EXPECT_EQ(log.substr(log.size() - c.expectedTail.size()), c.expectedTail);
        EXPECT_EQ(log.find("SetupApi"), c.capture ? log.size() - c.expectedTail.size() + 5
                                                  : std::string::npos);
        logFile.Reset();
        const SetupValues found = keeper->Noted();
        keeper.reset();
        EXPECT_TRUE(ReadSetupValues() == found);
    }
}

}  // namespace
}  // namespace linkmoor
