// The package tool's file layer on Windows: the wide Win32 calls (so names outside the ANSI code
// page work), every handle owned.

#include "tools/files/file_io.h"

#include "package/packed_tools.h"
#include "tools/files/report_stream.h"
#include "tools/files/wide_text.h"
#include "win32/unique_handle.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <limits>
#include <streambuf>

namespace linkmoor::tools {
namespace {

// The wide form of a UTF-8 path. Text that is no UTF-8 becomes a name every call refuses
// (ERROR_INVALID_NAME), never a guess at another file.
std::wstring Wide(const std::string& path) {
    std::wstring wide;
    if (!WideFromUtf8(path, wide)) wide = L"?";
    return wide;
}

// "what 'path': system text (error n)"; `error` is read by the caller right after the failing call.
// "system text (error n)" for a failure without a path.
std::string Describe(DWORD error) {
    const std::string text = SystemErrorText(error);
    return (text.empty() ? std::string() : text + " ") + "(error " + std::to_string(error) + ")";
}

std::string Describe(const std::string& what, const std::string& path, DWORD error) {
    return what + " '" + path + "': " + Describe(error);
}

UniqueFile OpenForReading(const std::string& path) {
    return UniqueFile(::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::string WritePieces(HANDLE file, const std::vector<ByteSpan>& pieces, const std::string& path) {
    for (const ByteSpan& piece : pieces) {
        size_t done = 0;
        while (done < piece.size) {
            if (!PendingInterrupt().empty()) return "cannot write '" + path + "': " + kInterruptedWord;
            // In pieces of 1 MiB, so a deferred interrupt stops a large write soon.
            DWORD want = static_cast<DWORD>(std::min<size_t>(piece.size - done, 1u << 20));
            DWORD put = 0;
            if (!::WriteFile(file, piece.data + done, want, &put, nullptr) || put == 0)
                return Describe("cannot write", path, ::GetLastError());
            done += put;
        }
    }
    return {};
}

// The temporary output being written, for the console control handler, which Windows runs on a
// thread of its own: it removes the file and lets the default handler end the process. The
// writer opens the file with FILE_SHARE_DELETE, so the deletion takes effect when the process's
// handle closes at its end. The lock keeps the handler from deleting while the writer renames.
class CInterruptCleanup {
public:
    static CInterruptCleanup& Instance() {
        static CInterruptCleanup* instance = new CInterruptCleanup();  // lives until the process ends
        return *instance;
    }

    void Register(const std::wstring& path) {
        CHeld held(m_lock);
        m_path = path;
    }

    // Runs `rename` unless the handler has removed the file already; forgets the file either way.
    template <typename Rename>
    bool RenameAndForget(Rename rename) {
        CHeld held(m_lock);
        const bool renamed = !m_path.empty() && rename();
        m_path.clear();
        return renamed;
    }

    void Forget() {
        CHeld held(m_lock);
        m_path.clear();
    }

    // While deferring, the handler notes the event and waits for the command to end the process
    // (EndByInterrupt) after removing what it wrote.
    void Defer(bool on) {
        ::InterlockedExchange(&m_pending, 0);
        ::InterlockedExchange(&m_deferring, on ? 1 : 0);
    }
    LONG Pending() { return ::InterlockedCompareExchange(&m_pending, 0, 0); }

private:
    // The lock, held for a scope.
    class CHeld {
    public:
        explicit CHeld(CRITICAL_SECTION& lock) : m_lock(lock) { ::EnterCriticalSection(&m_lock); }
        ~CHeld() { ::LeaveCriticalSection(&m_lock); }
        CHeld(const CHeld&) = delete;
        CHeld& operator=(const CHeld&) = delete;

    private:
        CRITICAL_SECTION& m_lock;
    };

    CInterruptCleanup() {
        ::InitializeCriticalSection(&m_lock);
        ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    }

    static BOOL WINAPI OnConsoleEvent(DWORD event) {
        CInterruptCleanup& self = Instance();
        if (::InterlockedCompareExchange(&self.m_deferring, 0, 0)) {
            ::InterlockedExchange(&self.m_pending, LONG(event) + 1);
            ::Sleep(kCleanupWait);  // the process ends meanwhile; if not, the default handler ends it
            return FALSE;
        }
        CHeld held(self.m_lock);
        if (!self.m_path.empty()) ::DeleteFileW(self.m_path.c_str());
        self.m_path.clear();
        return FALSE;  // the default handler ends the process
    }

    // Windows gives a handler of CTRL_CLOSE_EVENT about five seconds.
    static constexpr DWORD kCleanupWait = 4000;

    CRITICAL_SECTION m_lock;
    std::wstring m_path;
    volatile LONG m_deferring = 0;
    volatile LONG m_pending = 0;  // the console event + 1, or 0
};

// UTF-8 text to a console through WriteConsoleW; a character whose bytes are split between two
// writes waits for the rest.
class CConsoleOutput : public COutputBuffer {
public:
    CConsoleOutput(HANDLE console, const char* name) : COutputBuffer(name), m_console(console) {}

protected:
    std::string WriteBytes(const char* data, size_t size) override {
        m_carry.append(data, size);
        // Hold back the bytes of a character that is not complete yet.
        size_t complete = m_carry.size();
        for (size_t back = 1; back <= 3 && back <= m_carry.size(); ++back) {
            const unsigned char c = static_cast<unsigned char>(m_carry[m_carry.size() - back]);
            if ((c & 0xC0) != 0x80) {
                const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
                if (need > back) complete = m_carry.size() - back;
                break;
            }
        }
        std::wstring wide;
        DWORD written = 0;
        DWORD error = ERROR_SUCCESS;
        if (!WideFromUtf8(m_carry.substr(0, complete), wide)) {
            // Not UTF-8: shown in the console's own code page, as the bytes would be.
            if (!::WriteConsoleA(m_console, m_carry.data(), DWORD(complete), &written, nullptr))
                error = ::GetLastError();
        } else if (!wide.empty()) {
            if (!::WriteConsoleW(m_console, wide.data(), DWORD(wide.size()), &written, nullptr))
                error = ::GetLastError();
        }
        m_carry.erase(0, complete);
        return error == ERROR_SUCCESS ? std::string() : Describe(error);
    }

private:
    HANDLE m_console;
    std::string m_carry;
};

// A file or a pipe: UTF-8 bytes, each line ending in CR LF.
class CHandleOutput : public COutputBuffer {
public:
    CHandleOutput(HANDLE handle, const char* name) : COutputBuffer(name), m_handle(handle) {}

protected:
    std::string WriteBytes(const char* data, size_t size) override {
        std::string text;
        text.reserve(size + size / 16);
        for (size_t i = 0; i < size; ++i) {
            if (data[i] == '\n') text += '\r';
            text += data[i];
        }
        if (m_handle == nullptr || m_handle == INVALID_HANDLE_VALUE) return Describe(ERROR_INVALID_HANDLE);
        for (size_t done = 0; done < text.size();) {
            DWORD put = 0;
            const DWORD want = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1u << 24));
            if (!::WriteFile(m_handle, text.data() + done, want, &put, nullptr)) return Describe(::GetLastError());
            if (put == 0) return "nothing was written";
            done += put;
        }
        return {};
    }

private:
    HANDLE m_handle;
};

// Each standard stream gets the buffer for what its handle is; the buffers live until the
// process ends, as the streams do.
void UseBufferFor(DWORD standardHandle, std::ostream& stream, const char* name) {
    HANDLE handle = ::GetStdHandle(standardHandle);
    DWORD mode = 0;
    stream.flush();
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode))
        stream.rdbuf(new CConsoleOutput(handle, name));
    else
        stream.rdbuf(new CHandleOutput(handle, name));
}

}  // namespace

CInterruptDeferral::CInterruptDeferral() { CInterruptCleanup::Instance().Defer(true); }

CInterruptDeferral::~CInterruptDeferral() { CInterruptCleanup::Instance().Defer(false); }

std::string PendingInterrupt() {
    switch (CInterruptCleanup::Instance().Pending()) {
        case 0: return {};
        case CTRL_C_EVENT + 1: return "Ctrl+C";
        case CTRL_BREAK_EVENT + 1: return "Ctrl+Break";
        case CTRL_CLOSE_EVENT + 1: return "the console closing";
    }
    return "the session ending";
}

void EndByInterrupt() {
    // The code Windows' own Ctrl+C handling ends a console program with.
    ::ExitProcess(STATUS_CONTROL_C_EXIT);
}

PathKind GetPathKind(const std::string& path) { return ExamineFile(path).kind; }

FileFacts ExamineFile(const std::string& path) {
    FileFacts facts;
    const std::wstring wide = Wide(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        facts.problem = SystemErrorText(::GetLastError());
        return facts;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        facts.kind = PathKind::kFolder;
        return facts;
    }
    // Devices (CON, NUL, COM1...) answer too: only a file on a disk is a file.
    UniqueFile file(::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (file && ::GetFileType(file.Get()) != FILE_TYPE_DISK) {
        facts.kind = PathKind::kOther;
        return facts;
    }
    facts.kind = PathKind::kFile;
    facts.size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    return facts;
}

std::string OpenProblem(const std::string& path) {
    UniqueFile file = OpenForReading(path);
    return file ? std::string() : Describe(::GetLastError());
}

std::string GetFileSize(const std::string& path, uint64_t& size) {
    if (GetPathKind(path) == PathKind::kFolder) return "'" + path + "' is not a file";
    UniqueFile file = OpenForReading(path);
    if (!file) return Describe("cannot open", path, ::GetLastError());
    LARGE_INTEGER value;
    if (!::GetFileSizeEx(file.Get(), &value)) return Describe("cannot read", path, ::GetLastError());
    size = static_cast<uint64_t>(value.QuadPart);
    return {};
}

std::string ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    if (GetPathKind(path) == PathKind::kFolder) return "'" + path + "' is not a file";
    UniqueFile file = OpenForReading(path);
    if (!file) return Describe("cannot open", path, ::GetLastError());
    LARGE_INTEGER value;
    if (!::GetFileSizeEx(file.Get(), &value)) return Describe("cannot read", path, ::GetLastError());
    if (static_cast<uint64_t>(value.QuadPart) > std::numeric_limits<size_t>::max())
        return "cannot read '" + path + "': the file is too large for this program";
    bytes.resize(static_cast<size_t>(value.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        DWORD got = 0;
        if (!::ReadFile(file.Get(), bytes.data() + done, want, &got, nullptr))
            return Describe("cannot read", path, ::GetLastError());
        if (got == 0) return "cannot read '" + path + "': the file became shorter while it was read";
        done += got;
    }
    return {};
}

std::string ReadStandardInput(std::vector<uint8_t>& bytes) {
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    uint8_t chunk[1 << 16];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(input, chunk, sizeof(chunk), &got, nullptr)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_BROKEN_PIPE) return {};  // the writer has closed the pipe: the end
            return Describe("cannot read", "-", error);
        }
        if (got == 0) return {};
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
}

bool IsSameFile(const std::string& a, const std::string& b) {
    UniqueFile fa = OpenForReading(a);
    UniqueFile fb = OpenForReading(b);
    if (!fa || !fb) return false;
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (!::GetFileInformationByHandle(fa.Get(), &ia) || !::GetFileInformationByHandle(fb.Get(), &ib)) return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
}

// Windows marks no file executable: a program is one by its name and contents.
uint32_t ExecutableBits(const std::string&) { return 0; }

std::string WriteFileWhole(const std::string& path, const std::vector<ByteSpan>& pieces, bool replace, uint32_t) {
    CInterruptCleanup& cleanup = CInterruptCleanup::Instance();
    wchar_t temp[MAX_PATH] = {};
    if (!::GetTempFileNameW(Wide(FolderOf(path)).c_str(), L"lmp", 0, temp))
        return Describe("cannot create a temporary file beside", path, ::GetLastError());
    cleanup.Register(temp);

    std::string error;
    {
        UniqueFile file(::CreateFileW(temp, GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, TRUNCATE_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) error = Describe("cannot write", path, ::GetLastError());
        if (error.empty()) error = WritePieces(file.Get(), pieces, path);
        if (error.empty() && !::FlushFileBuffers(file.Get())) error = Describe("cannot write", path, ::GetLastError());
    }
    if (error.empty()) {
        // Without MOVEFILE_REPLACE_EXISTING the move fails on an output that appeared meanwhile.
        DWORD moveError = ERROR_OPERATION_ABORTED;
        const bool moved = cleanup.RenameAndForget([&] {
            if (::MoveFileExW(temp, Wide(path).c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) return true;
            moveError = ::GetLastError();
            return false;
        });
        if (!moved) error = Describe("cannot create", path, moveError);
    }
    if (!error.empty()) {
        cleanup.Forget();
        ::DeleteFileW(temp);
    }
    return error;
}

std::string WriteStandardOutput(const std::vector<ByteSpan>& pieces) {
    std::cout.flush();
    return WritePieces(::GetStdHandle(STD_OUTPUT_HANDLE), pieces, kStandardOutputName);
}

bool StandardOutputIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

std::string CreateFolder(const std::string& path, bool* created) {
    if (created) *created = false;
    if (::CreateDirectoryW(Wide(path).c_str(), nullptr)) {
        if (created) *created = true;
        return {};
    }
    DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS && GetPathKind(path) == PathKind::kFolder) return {};
    return Describe("cannot create the folder", path, error);
}

bool RemoveFile(const std::string& path) { return ::DeleteFileW(Wide(path).c_str()) != 0; }

bool RemoveEmptyFolder(const std::string& path) { return ::RemoveDirectoryW(Wide(path).c_str()) != 0; }

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/' || folder.back() == ':'))
        return folder + name;
    return folder + "\\" + name;
}

std::string BaseName(const std::string& path) {
    size_t sep = path.find_last_of("/\\:");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string FolderOf(const std::string& path) {
    size_t sep = path.find_last_of("/\\:");
    if (sep == std::string::npos) return ".";
    if (path[sep] == ':' || sep == 0 || path[sep - 1] == ':') return path.substr(0, sep + 1);
    return path.substr(0, sep);
}

bool IsAbsolutePath(const std::string& path) {
    return (!path.empty() && (path[0] == '\\' || path[0] == '/')) || (path.size() >= 2 && path[1] == ':');
}

std::string SystemErrorText(uint32_t code) {
    wchar_t text[512] = {};
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                    text, sizeof(text) / sizeof(text[0]), nullptr);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ' ||
                          text[length - 1] == L'.'))
        --length;
    return Utf8FromWide(text, length);
}

int LoadPackageFile(CPackedTools& reader, const std::string& path, int verifyOnly) {
    UniqueFile file = OpenForReading(path);
    if (!file) {
        reader.m_status = kPackageNotRead;
        return 0;
    }
    return reader.Load(file.Get(), verifyOnly);
}

void PrepareStandardStreams() {
    UseBufferFor(STD_OUTPUT_HANDLE, std::cout, kStandardOutputName);
    UseBufferFor(STD_ERROR_HANDLE, std::cerr, kStandardErrorName);
}

}  // namespace linkmoor::tools
