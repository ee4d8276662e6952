// The explanations of the launcher's boxes, raising places and error codes.

#include "diagnostics/explanations.h"

#include "diagnostics/error_messages.h"
#include "diagnostics/raising_places.h"

namespace linkmoor {

namespace {

using namespace raising;

constexpr uint16_t kStatusModule = 0xFFFF;  // the package error's upper half of -1, -2 and -3
constexpr uint16_t kStatusNotRead = 0xFFFF;
constexpr uint16_t kStatusDamaged = 0xFFFE;
constexpr uint16_t kStatusNoMemory = 0xFFFD;

// Shared advice.
constexpr char kRunAgain[] =
    "run the launcher again; if the same box comes back, send the technician the log "
    "linkmoor-technician-customer-module.log from the user's temp folder (%TEMP%)";
constexpr char kFreeMemory[] =
    "close other programs, or restart Windows, and run the launcher again";
constexpr char kAsAdministrator[] =
    "right-click the launcher and choose \"Run as administrator\", or log in with an "
    "administrator account; the launcher must not be started through a compatibility setting "
    "that runs it without elevation";
constexpr char kSecuritySoftware[] =
    "look in the security software's history for the launcher or the run folder, allow them, "
    "and run the launcher again";
constexpr char kWindowsTemp[] =
    "make sure the Windows folder's Temp folder (as a rule C:\\Windows\\Temp) exists, that "
    "administrators may create folders in it and that drive C: has about 30 MB free, then run "
    "the launcher again; the launcher never unpacks into a folder the user's own programs "
    "control instead";
constexpr char kCheckPackage[] =
    "technician: run linkmoor-pack check on the launcher you sent; build it again with a "
    "complete package";

constexpr PlaceExplanation kPlaces[] = {
    // The engine's set-up, before anything is written.
    {kModuleInstaller, kLineLogObject, "the engine's set-up",
     "setting up: creating the log writer", PlaceContext::kSetUp,
     "Windows had no memory left for a small object", kFreeMemory},
    {kModuleInstaller, kLineAdministrator, "the engine's set-up",
     "setting up: checking that the launcher runs with administrator rights",
     PlaceContext::kFixedCode,
     "the launcher was not run as an administrator: its token holds no enabled Administrators "
     "group (a standard account, or elevation skipped by a compatibility setting)",
     kAsAdministrator},
    {kModuleInstaller, kLineServiceManager, "the engine's set-up",
     "setting up: opening the service control manager with full access", PlaceContext::kSetUp,
     "Windows refused the service control manager to the launcher: it runs without elevation, "
     "or the service control manager is not running",
     "run the launcher as administrator; if that does not help, restart Windows"},
    {kModuleInstaller, kLineWindowsVersion, "the engine's set-up",
     "setting up: checking the Windows version", PlaceContext::kFixedCode,
     "Windows is older than Windows 2000 Service Pack 4, or the version query failed",
     "use the launcher on Windows Vista or newer; for Windows XP or Server 2003 the legacy "
     "version is offered on the web page of the legacy notice"},
    {kModuleInstaller, kLine64BitSystem, "the engine's set-up",
     "setting up: refusing a 64-bit Windows, which this launcher never asks for",
     PlaceContext::kFixedCode,
     "the box comes from another program built on the same installer engine, one made for "
     "32-bit Windows only",
     "use the launcher made for this machine; the technician's launcher does not raise this"},
    {kModuleInstaller, kLinePackageReader, "the engine's set-up",
     "setting up: creating the package reader", PlaceContext::kSetUp,
     "Windows had no memory left for the package reader", kFreeMemory},
    // File operations in the run folder, in the system's temp folder.
    {kModuleInstaller, kLineBackupCopy, "InstallFile",
     "unpacking: copying a file that stood in the way of an unpacked file to a backup name",
     PlaceContext::kFiles,
     "the run folder already held a file of that name and Windows refused to copy it", kRunAgain},
    {kModuleInstaller, kLineTempName, "InstallFile",
     "unpacking: finding a temporary name beside an unpacked file", PlaceContext::kFiles,
     "Windows could give no temporary name in the run folder and the clock-based one does not "
     "fit in a path", kRunAgain},
    {kModuleInstaller, kLineCreateFile, "InstallFile",
     "unpacking: creating an unpacked file in the run folder", PlaceContext::kFiles,
     "Windows refused to create the file", kSecuritySoftware},
    {kModuleInstaller, kLineCreateTempFile, "InstallFile",
     "unpacking: writing an unpacked file beside one that is in use", PlaceContext::kFiles,
     "the file it replaces is in use and the temporary file beside it cannot be created",
     "restart Windows and run the launcher again"},
    {kModuleInstaller, kLineShortWriteTempFile, "InstallFile",
     "unpacking: writing an unpacked file beside one that is in use; fewer bytes were written "
     "than the file holds", PlaceContext::kFiles,
     "the disk could not take the whole file", "free space on the disk, then run again"},
    {kModuleInstaller, kLineReplaceAtReboot, "InstallFile",
     "unpacking: leaving the replacement of a file in use for the next restart",
     PlaceContext::kFiles,
     "Windows refused to note the replacement for the next restart",
     "restart Windows and run the launcher again"},
    {kModuleInstaller, kLineShortWrite, "InstallFile",
     "unpacking: writing an unpacked file into the run folder; fewer bytes were written than "
     "the file holds", PlaceContext::kFiles,
     "the disk could not take the whole file",
     "free space on the Windows drive (as a rule C:), which holds the run folder, then run "
     "again"},
    {kModuleInstaller, kLineCreateDirectory, "CreateDirectory",
     "creating the run folder in the system's temp folder (the Windows folder's SystemTemp or "
     "Temp, as a rule C:\\Windows\\Temp), or the architecture folder inside it",
     PlaceContext::kFiles,
     "Windows refused to create the folder: the system's temp folder is missing, full, or "
     "closed to administrators by a policy or security software",
     kWindowsTemp},
    // The customer-module run.
    {kModuleRun, kLineLaunchWithIdentifier, "LaunchCustomerModule",
     "starting the customer module (with the technician identifier from the launcher's name)",
     PlaceContext::kLaunch, "Windows refused to start the unpacked customer module",
     kSecuritySoftware},
    {kModuleRun, kLineLaunchWithoutIdentifier, "LaunchCustomerModule",
     "starting the customer module (the launcher's name carries no technician identifier)",
     PlaceContext::kLaunch, "Windows refused to start the unpacked customer module",
     kSecuritySoftware},
    {kModuleRun, kLineMissingEntry, "UnpackModules",
     "unpacking: looking up a file this machine needs in the package", PlaceContext::kMissingEntry,
     "the package lacks a file this kind of machine needs (its architecture or Windows "
     "generation); the error code is whatever an earlier call left and means nothing here",
     kCheckPackage},
    // The package reader's statuses, carried by the package error 1359.
    {kStatusModule, kStatusNotRead, "the package reader",
     "setting up: reading the launcher's own file", PlaceContext::kFixedCode,
     "the launcher could not read its own file: it runs from a drive or share that went away, "
     "security software holds the file, or the file was renamed or replaced after it started",
     "copy the launcher to a local folder such as the desktop and run it from there"},
    {kStatusModule, kStatusDamaged, "the package reader",
     "setting up: finding and checking the package appended to the launcher's own file",
     PlaceContext::kFixedCode,
     "the package is missing or damaged: the download is incomplete or was changed, or the "
     "launcher was signed before its package was appended",
     "download the launcher again; technician: run linkmoor-pack verify on the file the "
     "customer has"},
    {kStatusModule, kStatusNoMemory, "the package reader",
     "setting up: unpacking the package into memory (about 30 MB)", PlaceContext::kFixedCode,
     "Windows had not enough memory for the package", kFreeMemory},
};

static_assert(sizeof(kPlaces) / sizeof(kPlaces[0]) ==
                  sizeof(kRaisingPlaces) / sizeof(kRaisingPlaces[0]) + 3,
              "one explanation per raising place and per reader status");

constexpr char kDiskFullCause[] =
    "the Windows drive (as a rule C:), which holds the run folder in the Windows folder's Temp, "
    "is full";
constexpr char kDiskFullNext[] =
    "free space on that drive (a run needs about 30 MB), then run the launcher again";
constexpr char kAntivirusCause[] =
    "security software blocked or removed the unpacked file";

constexpr CodeExplanation kCodes[] = {
    {0, "no Windows error was recorded", nullptr, nullptr, nullptr, nullptr},
    {2, "a file was not found", "the run folder vanished while the launcher ran", kRunAgain,
     "the customer module's file was gone when it was started: security software removed it",
     kSecuritySoftware},
    {3, "a folder on the path was not found",
     "the system's temp folder (the Windows folder's Temp) is missing, or the run folder "
     "vanished while the launcher ran", kWindowsTemp,
     "the run folder was gone when the customer module was started", kRunAgain},
    {5, "access was denied",
     "Windows or security software refused to let the launcher write there", kSecuritySoftware,
     "security software or a policy (AppLocker, Software Restriction Policies) blocks programs "
     "started from the temp folder",
     "allow the launcher and its run folder in the security software or policy, or ask the "
     "machine's administrator"},
    {8, "not enough memory", "Windows had no memory left", kFreeMemory,
     "Windows had no memory left to start the customer module", kFreeMemory},
    {14, "not enough memory", "Windows had no memory left", kFreeMemory,
     "Windows had no memory left to start the customer module", kFreeMemory},
    {19, "the medium is write-protected", "the Windows drive refused to be written",
     "check the Windows drive and its security software, then run again", nullptr, nullptr},
    {21, "the drive is not ready", "the Windows drive did not answer", kRunAgain, nullptr,
     nullptr},
    {23, "a data error (cyclic redundancy check)", "the disk could not write the file reliably",
     "check the disk (chkdsk), then run again", nullptr, nullptr},
    {32, "another program has the file open", "another program holds a file of the run folder",
     kRunAgain, "another program holds the customer module's file", kRunAgain},
    {39, "the disk is full", kDiskFullCause, kDiskFullNext, nullptr, nullptr},
    {82, "the file or folder cannot be created", "the run folder is full of temporary names",
     kRunAgain, nullptr, nullptr},
    {87, "a parameter is incorrect", nullptr, nullptr, nullptr, nullptr},
    {112, "there is not enough space on the disk", kDiskFullCause, kDiskFullNext, nullptr,
     nullptr},
    {120, "the function is not available on this system", nullptr, nullptr, nullptr, nullptr},
    {123, "the file name, folder name or volume label syntax is incorrect",
     "the path of the system's temp folder holds characters Windows cannot take here",
     kWindowsTemp, nullptr, nullptr},
    {183, "a file or folder of that name exists already",
     "every run folder name the launcher drew was taken: another program may be placing folders "
     "under the names it tries",
     "run the launcher again; if this repeats, look for such a program", nullptr, nullptr},
    {193, "the file is not a valid program for this Windows", nullptr, nullptr,
     "the customer-module file in the package is damaged or is no program for this Windows",
     kCheckPackage},
    {206, "the file name or path is too long", "the path of the system's temp folder is too long",
     kWindowsTemp, nullptr, nullptr},
    {216, "the program is made for another processor type", nullptr, nullptr,
     "the package carries a customer module for another architecture under this machine's name",
     kCheckPackage},
    {225, "security software reports the file as infected", kAntivirusCause, kSecuritySoftware,
     kAntivirusCause, kSecuritySoftware},
    {1117, "an I/O device error", "the Windows drive reported a hardware error",
     "check the disk (chkdsk), then run again", nullptr, nullptr},
    {1150, "this Windows is too old for the program", nullptr, nullptr, nullptr, nullptr},
    {1260, "a group policy blocks this program", nullptr, nullptr,
     "a policy of the machine blocks programs started from the temp folder",
     "ask the machine's administrator to allow the launcher's run folder"},
    {1313, "a required privilege is not held (here: no enabled Administrators group)", nullptr,
     nullptr, nullptr, nullptr},
    {1359, "an internal error (here: the package error, carrying the reader's status)", nullptr,
     nullptr, nullptr, nullptr},
    {1392, "the file or folder is corrupted and unreadable",
     "the file system of the Windows drive is damaged", "check the disk (chkdsk), then run again",
     nullptr, nullptr},
    {1450, "insufficient system resources", "Windows ran out of system resources", kFreeMemory,
     "Windows ran out of system resources", kFreeMemory},
    {1455, "the paging file is too small", "Windows ran out of memory", kFreeMemory,
     "Windows ran out of memory", kFreeMemory},
    {kError64BitSystem, "the installation is for 32-bit Windows only", nullptr, nullptr, nullptr,
     nullptr},
};

constexpr BoxExplanation kBoxes[] = {
    {kAdministratorText, kProductCaption, true, kModuleInstaller, kLineAdministrator,
     kErrorNoSuchPrivilege, "the launcher needs administrator rights and had none", nullptr,
     nullptr},
    {kOldWindowsText, kProductCaption, true, kModuleInstaller, kLineWindowsVersion,
     kErrorOldWindows, "the launcher does not run on this Windows version", nullptr, nullptr},
    {kUnpackFailedText, kProductCaption, true, kStatusModule, kStatusNotRead, kErrorPackage,
     "the launcher could not read its own file (package status -1)", nullptr, nullptr},
    {kDamagedPackageText, kProductCaption, true, kStatusModule, kStatusDamaged, kErrorPackage,
     "the package inside the launcher is missing, damaged or not covered by its signature "
     "(package status -2)", nullptr, nullptr},
    {kOutOfMemoryText, kProductCaption, true, kStatusModule, kStatusNoMemory, kErrorPackage,
     "memory ran out: while the package was unpacked into memory (package status -3), or "
     "anywhere else in the launcher", nullptr, nullptr},
    {kNoWorkFolderText, kProductCaption, false, 0, 0, 0,
     "the launcher found no folder it could write in: not the user's temp folder, not the "
     "Windows Temp folder, no drive's root, not its own folder; nothing was unpacked and no log "
     "was written",
     "every candidate folder refused a test file: disks full or write-protected, or security "
     "software blocking the launcher",
     "free space on drive C:, allow the launcher in the security software, or copy it to a "
     "writable local folder and run it from there"},
    {kLegacyNoticeText, kProductCaption, false, 0, 0, 0,
     "the launcher runs on Windows Vista and newer; this machine runs an older Windows",
     "Windows XP, Server 2003 or older",
     "\"Open Website\" opens the page with the legacy version; use that one on this machine"},
    {kUnexpectedErrorText, kProductCaption, false, 0, 0, 0,
     "something the launcher does not expect stopped it (no installer error)",
     "a fault of the launcher itself", kRunAgain},
};

}  // namespace

Rows<PlaceExplanation> PlaceExplanations() {
    return {kPlaces, sizeof(kPlaces) / sizeof(kPlaces[0])};
}

Rows<CodeExplanation> CodeExplanations() { return {kCodes, sizeof(kCodes) / sizeof(kCodes[0])}; }

Rows<BoxExplanation> BoxExplanations() { return {kBoxes, sizeof(kBoxes) / sizeof(kBoxes[0])}; }

const PlaceExplanation* FindPlace(uint16_t module, uint16_t line) {
    for (const PlaceExplanation& place : kPlaces)
        if (place.module == module && place.line == line) return &place;
    return nullptr;
}

const CodeExplanation* FindCode(uint32_t code) {
    for (const CodeExplanation& row : kCodes)
        if (row.code == code) return &row;
    return nullptr;
}

const char* ModuleName(uint16_t module) {
    switch (module) {
        case kModuleInstaller: return "installer engine";
        case kModuleRun: return "customer-module run";
        case kStatusModule: return "package reader status";
        default: return nullptr;
    }
}

}  // namespace linkmoor
