#pragma once
// A file as the package tool looks at it: the launcher's reader loads it the launcher's own way
// and gives the verdict; the tool adds the words for a refusal and what the file holds around
// the package (the launcher in front, a signature after it, where each entry is stored).

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "package/packed_tools.h"
#include "tools/model/launcher_image.h"
#include "tools/model/signature_report.h"

namespace linkmoor::tools {

// Where an entry of the index is stored in the body.
struct StoredEntry {
    uint32_t order = 0;           // its record's place in the body, counted from 1 (for a name
                                  // that occurs twice: the later record, whose contents count)
    uint32_t compressedSize = 0;  // its record's compressed length
};

struct PackageFile {
    std::string path;
    std::unique_ptr<CPackedTools> reader;
    int32_t status = kPackageNotRead;  // the reader's verdict
    std::string reason;                // why the status is not kPackageOk, as a phrase
    std::vector<uint8_t> bytes;        // the whole file, when a package was found in it
    size_t packageAt = 0;              // where the header starts (valid packages)
    uint64_t packageEnd = 0;           // just past the body
    Front front;                       // what stands before the package
    SignatureState signature;

    bool Valid() const { return status == kPackageOk; }

    // Per name: where the record that filled the entry is stored.
    std::map<std::string, StoredEntry, CPackedTools::ByteLess> StoredEntries() const;

    // The exit code of the verdict; with `launcherRequired` (verify, check), a valid package
    // with something other than a complete launcher image in front gives kExitNotLauncher, and
    // one in a launcher whose certificate table is broken kExitSignatureBroken.
    int ExitCode(bool launcherRequired) const;

    // "FILE: VERDICT" or "FILE: VERDICT: REASON"; for a valid package with a bad front, the
    // line that says what is wrong with it.
    std::string VerdictLine() const;
    std::string FrontLine() const;
    // "FILE: the package is valid, but the signature is not whole: REASON; ..."
    std::string BrokenSignatureLine() const;
};

// "FILE: launcher built for x86" (or x64): which Windows a launcher runs on.
inline constexpr char kLauncherBuiltFor[] = "launcher built for ";
std::string MachineLine(const std::string& path, LauncherMachine machine);

// Loads the package inside the file at `path` with the reader (the index stays filled unless
// `verifyOnly`), and finds the reason when it is refused. Regular files only: a pipe, a device or
// a folder is "the file cannot be read", a file of 4 GiB or more too (the format counts in 32
// bits); neither is put down to memory.
PackageFile OpenPackageFile(const std::string& path, bool verifyOnly);

}  // namespace linkmoor::tools
