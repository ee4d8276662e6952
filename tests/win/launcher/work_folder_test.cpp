// Work-folder choice under Wine: the real probe, and the order and bounds of the candidates.
#include "launcher/work_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program.h"
#include "scratch_folder.h"
#include "whole_file.h"
#include "win32/names_in_folder.h"

namespace {

using linkmoor::UniqueFile;
using linkmoor::test::ProgramFolder;
using linkmoor::test::UserTempFolder;

bool FolderHoldsProbeFiles(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\__try__temporary__file__*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    return true;
}

bool IsVolumeGuidPath(const std::string& path) {
    return path.rfind("\\\\?\\Volume{", 0) == 0 && path.back() == '}';
}

// A volume's root folder as the probe receives it: the GUID path and its final backslash.
bool IsVolumeRoot(const std::string& path) {
    return !path.empty() && path.back() == '\\' &&
           IsVolumeGuidPath(path.substr(0, path.size() - 1));
}

// The probe that records every candidate and lets only the ones `accept` names pass. What it
// hands back for them is some open folder: Wine cannot open a volume by its GUID path.
std::vector<std::string> g_probed;
bool (*g_accept)(const std::string&) = nullptr;

UniqueFile RecordingProbe(const char* folder) {
    g_probed.push_back(folder);
    if (!g_accept || !g_accept(folder)) return UniqueFile();
    return linkmoor::OpenFolder(ProgramFolder().c_str());
}

bool Select(char* buffer, uint32_t size, linkmoor::FolderProbe probe = linkmoor::ProbeFolder) {
    UniqueFile folder;
    const bool chosen = linkmoor::SelectWorkFolder(buffer, size, folder, probe);
    EXPECT_EQ(chosen, folder.IsValid()) << "the chosen folder comes back open";
    return chosen;
}

class WorkFolderSelection : public ::testing::Test {
protected:
    void SetUp() override {
        g_probed.clear();
        g_accept = nullptr;
    }
};

TEST(ProbeFolder, WritesAndLeavesNothingBehind) {
    std::string folder = UserTempFolder() + "\\probe-test";
    CreateDirectoryA(folder.c_str(), nullptr);
    {
        UniqueFile opened = linkmoor::ProbeFolder(folder.c_str());
        ASSERT_TRUE(opened);
        EXPECT_FALSE(FolderHoldsProbeFiles(folder));
    }
    EXPECT_TRUE(RemoveDirectoryA(folder.c_str())) << "folder not empty: " << GetLastError();
}

TEST(ProbeFolder, APlantedProbeNameFailsTheProbeAndIsLeftAlone) {
    // Hard links to another file under every probe name of the next moments: the probe cannot
    // know the tick count in advance, so the test covers a window of it.
    linkmoor::test::CScratchFolder folder;
    const std::string other = folder.Join("someone-elses.dat");
    linkmoor::test::WriteFileBytes(other, "not the launcher's");
    constexpr DWORD kWindowMs = 2000;
    const DWORD first = GetTickCount();
    for (DWORD tick = first; tick != first + kWindowMs; ++tick) {
        const std::string name = folder.Join("__try__temporary__file__" +
                                             std::to_string(static_cast<int>(tick)));
        ASSERT_TRUE(CreateHardLinkA(name.c_str(), other.c_str(), nullptr)) << GetLastError();
    }
    const bool probed = linkmoor::ProbeFolder(folder.Path().c_str()).IsValid();
    if (GetTickCount() - first >= kWindowMs) GTEST_SKIP() << "the probe ran after the window";
    EXPECT_FALSE(probed);
    EXPECT_EQ(linkmoor::test::ReadFileBytes(other), "not the launcher's");
    EXPECT_EQ(linkmoor::test::ListFolder(folder.Path()).size(), kWindowMs + 1) << "nothing removed";
}

TEST(ProbeFolder, FailsWhereNoFileCanBeCreated) {
    // A plain file standing where the folder should be: every create inside it fails.
    std::string blocker = UserTempFolder() + "\\probe-blocker";
    HANDLE file = CreateFileA(blocker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_FALSE(linkmoor::ProbeFolder(blocker.c_str()));
    EXPECT_FALSE(linkmoor::ProbeFolder("C:\\no-such-folder-for-probe"));
    // A path that leads out of every file system, into the object manager's namespace.
    EXPECT_FALSE(linkmoor::ProbeFolder("\\\\?\\GLOBALROOT\\BaseNamedObjects"));
    DeleteFileA(blocker.c_str());
}

TEST(ProbeFolder, ThroughAVolumeGuidPathFailsUnderThisSystem) {
    // Wine cannot create files through a volume GUID path, neither in the root folder (the path
    // with its final backslash, as the selection probes it) nor through the volume itself; the
    // selection passes volumes over here, which is why the volume candidate's success is tested
    // with a recording probe.
    char volume[MAX_PATH] = {};
    HANDLE search = FindFirstVolumeA(volume, MAX_PATH);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindVolumeClose(search);
    std::string path(volume);
    EXPECT_FALSE(linkmoor::ProbeFolder(path.c_str())) << "root folder";
    path.pop_back();
    EXPECT_FALSE(linkmoor::ProbeFolder(path.c_str())) << "volume";
}

TEST_F(WorkFolderSelection, OrdinarySystemChoosesUserTempWithoutBackslash) {
    char buffer[MAX_PATH] = {};
    ASSERT_TRUE(Select(buffer, MAX_PATH));
    EXPECT_EQ(std::string(buffer), UserTempFolder());
    EXPECT_NE(std::string(buffer).back(), '\\');
    EXPECT_FALSE(FolderHoldsProbeFiles(buffer));
}

TEST_F(WorkFolderSelection, TriesCandidatesInOrderAndFailsWhenNonePasses) {
    char buffer[MAX_PATH] = {};
    EXPECT_FALSE(Select(buffer, MAX_PATH, RecordingProbe));
    ASSERT_GE(g_probed.size(), 3u);
    EXPECT_EQ(g_probed.front(), UserTempFolder());
    EXPECT_EQ(g_probed[1], linkmoor::test::WindowsTempFolder());
    EXPECT_EQ(g_probed.back(), ProgramFolder());
    // Between them: the volumes with a drive letter (Wine has C: and Z:), by GUID path.
    std::vector<std::string> volumes(g_probed.begin() + 2, g_probed.end() - 1);
    EXPECT_EQ(volumes.size(), 2u);
    for (const std::string& volume : volumes) {
        EXPECT_TRUE(IsVolumeRoot(volume)) << volume;
    }
}

TEST_F(WorkFolderSelection, WritableVolumeRootIsChosenByItsGuidPath) {
    // Stands in for a volume whose root can be written (Wine cannot create files there).
    g_accept = [](const std::string& folder) { return IsVolumeRoot(folder); };
    char buffer[MAX_PATH] = {};
    ASSERT_TRUE(Select(buffer, MAX_PATH, RecordingProbe));
    ASSERT_EQ(g_probed.size(), 3u);  // user temp, system temp, the first volume
    // The root folder was probed; the chosen folder is written without the backslash.
    EXPECT_EQ(std::string(buffer) + "\\", g_probed[2]);
    EXPECT_TRUE(IsVolumeGuidPath(buffer)) << buffer;
}

TEST_F(WorkFolderSelection, OwnFolderIsTheLastResort) {
    static std::string own = ProgramFolder();
    g_accept = [](const std::string& folder) { return folder == own; };
    char buffer[MAX_PATH] = {};
    ASSERT_TRUE(Select(buffer, MAX_PATH, RecordingProbe));
    EXPECT_EQ(std::string(buffer), own);
}

TEST_F(WorkFolderSelection, CandidatesThatDoNotFitTheBufferAreSkipped) {
    // Every real candidate is longer than 8 characters; none may be probed cut short.
    char buffer[9];
    std::fill(buffer, buffer + sizeof(buffer), 'x');
    EXPECT_FALSE(Select(buffer, sizeof(buffer), RecordingProbe));
    for (const std::string& folder : g_probed) {
        EXPECT_LT(folder.size(), sizeof(buffer)) << folder;
    }
    EXPECT_TRUE(g_probed.empty());
}

TEST_F(WorkFolderSelection, SystemTempIsSkippedWhenTempDoesNotFit) {
    // Room for the Windows directory ("C:\windows", 10 characters) but not for "\Temp".
    char buffer[14] = {};
    EXPECT_FALSE(Select(buffer, sizeof(buffer), RecordingProbe));
    // What is probed (a drive root, perhaps) is a whole folder, never a longer one cut short.
    for (const std::string& folder : g_probed) {
        EXPECT_LT(folder.size(), sizeof(buffer)) << folder;
        EXPECT_NE(folder, linkmoor::test::WindowsTempFolder());
        EXPECT_TRUE(linkmoor::test::PathExists(folder + "\\")) << folder;
    }
}

}  // namespace
