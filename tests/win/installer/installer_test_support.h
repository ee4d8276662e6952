#pragma once
// What the engine's tests share beyond the Win32 test support: restoring the engine's seams, the
// engine's internal operations, and an engine over a log in a scratch folder.

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "installer/installer.h"
#include "installer/installer_seams.h"
#include "log_file.h"
#include "scratch_folder.h"

namespace linkmoor::test {

// Puts the engine's seams back to what they were when it was made.
class CSeamsRestorer {
public:
    CSeamsRestorer() : m_saved(InstallerSeams()) {}
    ~CSeamsRestorer() { InstallerSeams() = m_saved; }

private:
    CInstallerSeams m_saved;
};

// Exposes the engine's internal operations to the tests.
class CTestInstaller : public CInstaller {
public:
    explicit CTestInstaller(HANDLE logFile, bool openPackage = false, bool requireAdmin = false,
                            bool refuse64BitSystem = false, bool captureSetupLog = false)
        : CInstaller(logFile, openPackage, requireAdmin, refuse64BitSystem, captureSetupLog) {}
    using CInstaller::BackupExistingFile;
    using CInstaller::MakeTempName;
    using CInstaller::RecordInstalledPath;
};

// An engine writing its log into a scratch folder that its file operations work in.
class EngineTest : public testing::Test {
protected:
    CScratchFolder m_folder;
    CLogFile m_logFile{m_folder.Join("engine.log")};
    std::unique_ptr<CTestInstaller> m_engine{new CTestInstaller(m_logFile.Handle())};
    const char* Dir() const { return m_folder.Path().c_str(); }

    // The log after the engine has gone (its teardown flushes the file).
    std::string FinishLog() {
        m_engine.reset();
        return m_logFile.Contents();
    }
};

}  // namespace linkmoor::test
