// Loading a file with the launcher's reader, and what the tool adds to the reader's verdict.

#include "tools/model/package_file.h"

#include "package/package_format.h"
#include "tools/files/file_io.h"
#include "tools/model/package_diagnosis.h"
#include "tools/model/verdicts.h"

namespace linkmoor::tools {

namespace {

// The reader takes sizes in 32 bits.
constexpr uint64_t kLargestFile = 0xFFFFFFFFull;

// Why a file cannot be handed to the reader at all, or empty.
std::string WhyNotReadable(const FileFacts& facts) {
    switch (facts.kind) {
        case PathKind::kMissing: return facts.problem;
        case PathKind::kFolder: return "it is a folder";
        case PathKind::kOther:
            return "it is no regular file (a pipe, a device or a socket); packages are read from files";
        case PathKind::kFile:
            if (facts.size > kLargestFile)
                return "it holds " + std::to_string(facts.size) +
                       " bytes; the package format counts in 32 bits and cannot hold a file of 4 GiB or more";
            return {};
    }
    return {};
}

}  // namespace

PackageFile OpenPackageFile(const std::string& path, bool verifyOnly) {
    PackageFile file;
    file.path = path;
    const FileFacts facts = ExamineFile(path);
    file.reason = WhyNotReadable(facts);
    if (!file.reason.empty()) return file;  // status kPackageNotRead

    file.reader = std::make_unique<CPackedTools>();
    if (file.reader->m_status == kPackageOk) LoadPackageFile(*file.reader, path, verifyOnly ? 1 : 0);
    file.status = file.reader->m_status;
    if (file.status == kPackageNotRead || file.status == kPackageNoMemory) {
        if (file.status == kPackageNotRead) {
            file.reason = OpenProblem(path);
            if (file.reason.empty()) file.reason = "the reader could not read it whole";
        }
        return file;
    }
    if (file.status != kPackageOk && file.status != kPackageDamaged) return file;

    const std::string error = ReadWholeFile(path, file.bytes);
    if (!error.empty()) {
        file.reason = error;
        return file;
    }
    if (file.status == kPackageDamaged) {
        file.reason = WhyDamaged(file.bytes, *file.reader);
        return file;
    }
    file.packageAt = package::FindHeader(file.bytes.data(), file.bytes.size());
    file.packageEnd = file.packageAt + package::PackageLength(file.bytes.data() + file.packageAt);
    file.front = FrontOf(file.bytes.data(), file.packageAt);
    file.signature = SignatureStateOf(file.bytes);
    return file;
}

std::map<std::string, StoredEntry, CPackedTools::ByteLess> PackageFile::StoredEntries() const {
    std::map<std::string, StoredEntry, CPackedTools::ByteLess> stored;
    if (!Valid()) return stored;
    const uint8_t* header = bytes.data() + packageAt;
    const uint8_t* body = header + package::kHeaderSize;
    const uint32_t bodyLength = package::ReadLe32(header + package::kBodyLengthOffset);
    const uint32_t count = package::ReadLe32(header + package::kEntryCountOffset);
    size_t offset = 0;
    package::EntryRecord record;
    for (uint32_t i = 0; i < count && package::ReadEntryRecord(body, bodyLength, offset, record); ++i) {
        stored[std::string(reinterpret_cast<const char*>(record.name), record.nameLength)] = {i + 1,
                                                                                            record.compressedLength};
        offset = record.next;
    }
    return stored;
}

int PackageFile::ExitCode(bool launcherRequired) const {
    if (Valid() && launcherRequired && front.kind == FrontKind::kNotLauncher) return kExitNotLauncher;
    if (Valid() && launcherRequired && SignatureBroken(signature)) return kExitSignatureBroken;
    return ExitCodeOf(status);
}

std::string PackageFile::VerdictLine() const {
    std::string line = path + ": " + VerdictOf(status);
    if (!reason.empty()) line += ": " + reason;
    return line;
}

std::string PackageFile::FrontLine() const {
    return path + ": the package is valid, but what stands before it is no " + CompleteExecutableWords(front.machine) +
           ": " + front.problem + "; no machine can start this file";
}

std::string PackageFile::BrokenSignatureLine() const {
    return path + ": the package is valid, but the signature is not whole: " +
           BrokenSignatureText(signature, bytes.size()) + "; a signature check fails on this file";
}

std::string MachineLine(const std::string& path, LauncherMachine machine) {
    return path + ": " + kLauncherBuiltFor + MachineLabel(machine);
}

}  // namespace linkmoor::tools
