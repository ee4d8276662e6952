// The package tool's file layer on POSIX systems.

#include "tools/files/file_io.h"

#include "package/packed_tools.h"
#include "tools/files/report_stream.h"

#include <cerrno>
#include <climits>
#include <optional>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace linkmoor::tools {
namespace {

std::string Describe(const std::string& what, const std::string& path, int error) {
    return what + " '" + path + "': " + std::strerror(error);
}

// Closes a descriptor on every path out.
class CFd {
public:
    explicit CFd(int fd) : m_fd(fd) {}
    ~CFd() { Close(); }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_fd; }
    int Close() {
        int result = 0;
        if (m_fd >= 0) result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

// The permissions a new file gets, as open(2) would give them: `bits` less the umask.
mode_t CreationMode(mode_t bits) {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return bits & ~mask;
}

// The temporary output being written, for the signal handler: it removes the file and ends the
// program the way the signal would have. Only async-signal-safe calls happen in the handler.
char g_temporary[PATH_MAX];
volatile sig_atomic_t g_hasTemporary = 0;
// While a command defers interrupts, the handler only notes the signal.
volatile sig_atomic_t g_deferring = 0;
volatile sig_atomic_t g_pendingSignal = 0;
constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};
// Writes go in pieces of at most this size, so a deferred interrupt stops a large one soon.
constexpr size_t kWriteChunk = 1 << 20;

extern "C" void RemoveTemporaryAndEnd(int signal) {
    if (g_deferring) {
        g_pendingSignal = signal;
        return;
    }
    if (g_hasTemporary) ::unlink(g_temporary);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Holds the interrupts back for a scope: a signal between creating the temporary file and naming
// it to the handler would leave the file behind.
class CInterruptsBlocked {
public:
    CInterruptsBlocked() {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : kInterrupts) sigaddset(&set, signal);
        ::sigprocmask(SIG_BLOCK, &set, &m_previous);
    }
    ~CInterruptsBlocked() { ::sigprocmask(SIG_SETMASK, &m_previous, nullptr); }
    CInterruptsBlocked(const CInterruptsBlocked&) = delete;
    CInterruptsBlocked& operator=(const CInterruptsBlocked&) = delete;

private:
    sigset_t m_previous;
};

void InstallInterruptCleanup() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int signal : kInterrupts) {
        struct sigaction action = {};
        action.sa_handler = RemoveTemporaryAndEnd;
        sigemptyset(&action.sa_mask);
        for (int other : kInterrupts) sigaddset(&action.sa_mask, other);
        struct sigaction previous = {};
        // A signal the caller ignores (nohup) stays ignored.
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

// Names the temporary file to the handler while it exists.
class CTemporaryRegistration {
public:
    explicit CTemporaryRegistration(const std::string& path) {
        InstallInterruptCleanup();
        if (path.size() >= sizeof(g_temporary)) return;
        std::memcpy(g_temporary, path.c_str(), path.size() + 1);
        g_hasTemporary = 1;
    }
    ~CTemporaryRegistration() { g_hasTemporary = 0; }
    CTemporaryRegistration(const CTemporaryRegistration&) = delete;
    CTemporaryRegistration& operator=(const CTemporaryRegistration&) = delete;
};

std::string WritePieces(int fd, const std::vector<ByteSpan>& pieces, const std::string& path) {
    for (const ByteSpan& piece : pieces) {
        size_t done = 0;
        while (done < piece.size) {
            if (g_pendingSignal) return "cannot write '" + path + "': " + kInterruptedWord;
            const size_t want = piece.size - done < kWriteChunk ? piece.size - done : kWriteChunk;
            ssize_t put = ::write(fd, piece.data + done, want);
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) return Describe("cannot write", path, errno);
            done += static_cast<size_t>(put);
        }
    }
    return {};
}

std::string ReadAll(int fd, std::vector<uint8_t>& bytes, const std::string& path) {
    uint8_t chunk[1 << 16];
    for (;;) {
        ssize_t got = ::read(fd, chunk, sizeof(chunk));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return Describe("cannot read", path, errno);
        if (got == 0) return {};
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
}

// A standard stream's descriptor.
class CDescriptorOutput : public COutputBuffer {
public:
    CDescriptorOutput(int fd, const char* name) : COutputBuffer(name), m_fd(fd) {}

protected:
    std::string WriteBytes(const char* data, size_t size) override {
        for (size_t done = 0; done < size;) {
            const ssize_t put = ::write(m_fd, data + done, size - done);
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) return std::strerror(errno);
            if (put == 0) return "nothing was written";
            done += static_cast<size_t>(put);
        }
        return {};
    }

private:
    int m_fd;
};

}  // namespace

CInterruptDeferral::CInterruptDeferral() {
    InstallInterruptCleanup();
    g_pendingSignal = 0;
    g_deferring = 1;
}

CInterruptDeferral::~CInterruptDeferral() { g_deferring = 0; }

std::string PendingInterrupt() {
    switch (g_pendingSignal) {
        case 0: return {};
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
    }
    return "signal " + std::to_string(int(g_pendingSignal));
}

void EndByInterrupt() {
    const int signal = g_pendingSignal ? int(g_pendingSignal) : SIGINT;
    g_deferring = 0;
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    ::_exit(128 + signal);  // only when the signal is blocked
}

PathKind GetPathKind(const std::string& path) { return ExamineFile(path).kind; }

FileFacts ExamineFile(const std::string& path) {
    FileFacts facts;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        facts.problem = std::strerror(errno);
        return facts;
    }
    if (S_ISREG(st.st_mode)) {
        facts.kind = PathKind::kFile;
        facts.size = static_cast<uint64_t>(st.st_size);
    } else {
        facts.kind = S_ISDIR(st.st_mode) ? PathKind::kFolder : PathKind::kOther;
    }
    return facts;
}

std::string OpenProblem(const std::string& path) {
    CFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return fd.Get() < 0 ? std::strerror(errno) : std::string();
}

std::string GetFileSize(const std::string& path, uint64_t& size) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return Describe("cannot open", path, errno);
    if (!S_ISREG(st.st_mode)) return "'" + path + "' is not a file";
    size = static_cast<uint64_t>(st.st_size);
    return {};
}

std::string ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    CFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) return Describe("cannot open", path, errno);
    struct stat st;
    if (::fstat(fd.Get(), &st) != 0) return Describe("cannot read", path, errno);
    if (!S_ISREG(st.st_mode)) return "'" + path + "' is not a file";
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t got = ::read(fd.Get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return Describe("cannot read", path, errno);
        if (got == 0) return "cannot read '" + path + "': the file became shorter while it was read";
        done += static_cast<size_t>(got);
    }
    return {};
}

std::string ReadStandardInput(std::vector<uint8_t>& bytes) { return ReadAll(STDIN_FILENO, bytes, "-"); }

bool IsSameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

uint32_t ExecutableBits(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? uint32_t(st.st_mode & 0111) : 0;
}

std::string WriteFileWhole(const std::string& path, const std::vector<ByteSpan>& pieces, bool replace,
                           uint32_t executableBits) {
    std::string temp = JoinPath(FolderOf(path), ".linkmoor-pack-XXXXXX");
    std::string error;
    {
        std::optional<CInterruptsBlocked> blocked(std::in_place);
        CFd fd(::mkstemp(temp.data()));
        if (fd.Get() < 0) return Describe("cannot create a temporary file beside", path, errno);
        CTemporaryRegistration registration(temp);
        blocked.reset();
        error = WritePieces(fd.Get(), pieces, path);
        const mode_t mode = CreationMode(0666 | (mode_t(executableBits) & 0111));
        if (error.empty() && ::fchmod(fd.Get(), mode) != 0) error = Describe("cannot write", path, errno);
        if (error.empty() && ::fsync(fd.Get()) != 0) error = Describe("cannot write", path, errno);
        if (fd.Close() != 0 && error.empty()) error = Describe("cannot write", path, errno);
        if (error.empty()) {
            if (replace) {
                if (::rename(temp.c_str(), path.c_str()) != 0) error = Describe("cannot create", path, errno);
            } else if (::link(temp.c_str(), path.c_str()) != 0) {
                // A link never replaces: an output that appeared meanwhile stays untouched.
                error = Describe("cannot create", path, errno);
            }
        }
        if (!error.empty() || !replace) ::unlink(temp.c_str());
    }
    return error;
}

std::string WriteStandardOutput(const std::vector<ByteSpan>& pieces) {
    return WritePieces(STDOUT_FILENO, pieces, kStandardOutputName);
}

bool StandardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

std::string CreateFolder(const std::string& path, bool* created) {
    if (created) *created = false;
    if (::mkdir(path.c_str(), 0777) == 0) {
        if (created) *created = true;
        return {};
    }
    int error = errno;
    if (error == EEXIST && GetPathKind(path) == PathKind::kFolder) return {};
    return Describe("cannot create the folder", path, error);
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool RemoveEmptyFolder(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

int LoadPackageFile(CPackedTools& reader, const std::string& path, int verifyOnly) {
    // A folder opens for reading here but holds no bytes; on Windows it does not open at all.
    if (GetPathKind(path) == PathKind::kFolder) {
        reader.m_status = kPackageNotRead;
        return 0;
    }
    return reader.LoadFile(path.c_str(), verifyOnly);
}

// Linux has no text for Windows error codes.
std::string SystemErrorText(uint32_t) { return std::string(); }

// A terminal takes UTF-8 as it is. The buffers live until the process ends, as the streams do.
// A reader that went away is a failed write like any other (EPIPE), reported in one line as on
// Windows, rather than a silent end by SIGPIPE.
void PrepareStandardStreams() {
    ::signal(SIGPIPE, SIG_IGN);
    std::cout.rdbuf(new CDescriptorOutput(STDOUT_FILENO, kStandardOutputName));
    std::cerr.rdbuf(new CDescriptorOutput(STDERR_FILENO, kStandardErrorName));
}

}  // namespace linkmoor::tools
