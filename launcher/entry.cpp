#include "launcher/entry.h"

#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <new>

#include "diagnostics/error_messages.h"
#include "diagnostics/exception_ex.h"
#include "installer/windows_version.h"
#include "launcher/technician_id.h"
#include "launcher/work_folder.h"
#include "win32/entry_point.h"
#include "win32/redirection_trust.h"
#include "win32/unique_handle.h"

namespace linkmoor {

namespace {

constexpr DWORD kPathSize = MAX_PATH;
constexpr DWORD kVistaMajorVersion = 6;
constexpr char kSetDefaultDllDirectories[] = "SetDefaultDllDirectories";
constexpr char kOpenVerb[] = "open";

void ShowLegacyNotice() {
    int choice = 0;
    {
        // The hook lives only while the notice is on screen.
        UniqueHook hook(SetWindowsHookExA(WH_CBT, LegacyDialogHook, nullptr, GetCurrentThreadId()));
        choice = MessageBoxA(nullptr, kLegacyNoticeText, kProductCaption,
                             MB_YESNO | MB_ICONINFORMATION);
    }
    if (choice != IDYES) return;
    ShellExecuteA(nullptr, kOpenVerb, kLegacyPageUrl, nullptr, nullptr, SW_SHOWMINIMIZED);
}

void ShowMessage(const ErrorMessage& message) {
    MessageBoxA(nullptr, message.Text(), message.caption, message.style);
}

std::string TechnicianIdOfThisLauncher(char* buffer, DWORD size) {
    DWORD length = GetModuleFileNameA(nullptr, buffer, size);
    if (length == 0 || length >= size) return std::string();  // failed or cut short
    return TechnicianIdFromPath(std::string(buffer, length));
}

// Runs `body`; an allocation failure or any other error that escapes it ends in its box, never
// in a crash report of the elevated launcher.
template <typename Body>
void ShowWhatEscapes(Body body) {
    try {
        body();
    } catch (const std::bad_alloc&) {
        ShowMessage(OutOfMemoryMessage());
    } catch (...) {
        ShowMessage(UnexpectedErrorMessage());
    }
}

// The identifier, the work folder, the log file and one run. The box for whatever ends the run
// shows while the log is still open.
void StartRun(RunStep run) {
    char path[kPathSize] = {};
    const std::string technicianId = TechnicianIdOfThisLauncher(path, kPathSize);

    std::fill(path, path + kPathSize, '\0');
    UniqueFile workFolder;
    if (!SelectWorkFolder(path, kPathSize, workFolder)) {
        MessageBoxA(nullptr, kNoWorkFolderText, kProductCaption, MB_ICONEXCLAMATION);
        return;
    }

    // Closed after the message box, when the run is over. The work folder holds only the log:
    // once that is open, the folder is not needed any more.
    UniqueFile logFile(CreateLogFile(workFolder.Get(), kLogFileName));
    workFolder.Reset();
    ShowWhatEscapes([&] {
        try {
            run(logFile.Get(), technicianId);
        } catch (CExceptionEx* error) {
            std::unique_ptr<CExceptionEx> owned(error);
            ShowMessage(ChooseErrorMessage(*owned));
        }
    });
}

}  // namespace

void RestrictDllSearchPath() {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto setDirectories =
        LoadedEntryPoint<SetDefaultDllDirectoriesFn>(kKernel32Dll, kSetDefaultDllDirectories);
    if (setDirectories) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

LRESULT CALLBACK LegacyDialogHook(int code, WPARAM wParam, LPARAM) {
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wParam);
        SetWindowTextA(GetDlgItem(box, IDYES), kLegacyOpenLabel);
        SetWindowTextA(GetDlgItem(box, IDNO), kLegacyCloseLabel);
    }
    return 0;
}

int LauncherMain(RunStep run) {
    RestrictDllSearchPath();
    EnforceRedirectionTrust();

    // The true version: with a compatibility setting for Windows XP on a newer Windows, the notice
    // would offer the web page from the elevated process.
    if (TrueWindowsVersion().major < kVistaMajorVersion) {
        ShowLegacyNotice();
        return 0;
    }

    // Also what escapes the start-up itself (an allocation failure while it builds a path or
    // the text of a box) ends in a box.
    ShowWhatEscapes([run] { StartRun(run); });
    return 0;
}

}  // namespace linkmoor
