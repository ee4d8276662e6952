// The package tool's file layer on Windows: Win32 ANSI calls, every handle owned.

#include "tools/file_io.h"

#include "diagnostics/unique_handle.h"
#include "package/packed_tools.h"

#include <windows.h>

#include <algorithm>
#include <limits>

namespace linkmoor::tools {
namespace {

// "what 'path': system text (error n)"; `error` is read by the caller right after the failing call.
std::string Describe(const std::string& what, const std::string& path, DWORD error) {
    const std::string text = SystemErrorText(error);
    std::string result = what + " '" + path + "': ";
    if (!text.empty()) result += text + " ";
    return result + "(error " + std::to_string(error) + ")";
}

std::string FolderOf(const std::string& path) {
    size_t sep = path.find_last_of("/\\:");
    if (sep == std::string::npos) return ".";
    if (path[sep] == ':' || sep == 0 || path[sep - 1] == ':') return path.substr(0, sep + 1);
    return path.substr(0, sep);
}

UniqueFile OpenForReading(const std::string& path) {
    return UniqueFile(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

PathKind GetPathKind(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::kMissing;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathKind::kFolder;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return PathKind::kOther;
    return PathKind::kFile;
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

bool IsSameFile(const std::string& a, const std::string& b) {
    UniqueFile fa = OpenForReading(a);
    UniqueFile fb = OpenForReading(b);
    if (!fa || !fb) return false;
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (!::GetFileInformationByHandle(fa.Get(), &ia) || !::GetFileInformationByHandle(fb.Get(), &ib)) return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
}

std::string WriteFileWhole(const std::string& path, const std::vector<ByteSpan>& pieces, bool replace) {
    char temp[MAX_PATH] = {};
    if (!::GetTempFileNameA(FolderOf(path).c_str(), "lmp", 0, temp))
        return Describe("cannot create a temporary file beside", path, ::GetLastError());

    std::string error;
    {
        UniqueFile file(::CreateFileA(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
        if (!file) error = Describe("cannot write", path, ::GetLastError());
        for (const ByteSpan& piece : pieces) {
            size_t done = 0;
            while (error.empty() && done < piece.size) {
                DWORD want = static_cast<DWORD>(std::min<size_t>(piece.size - done, 1u << 24));
                DWORD put = 0;
                if (!::WriteFile(file.Get(), piece.data + done, want, &put, nullptr) || put == 0)
                    error = Describe("cannot write", path, ::GetLastError());
                done += put;
            }
        }
        if (error.empty() && !::FlushFileBuffers(file.Get())) error = Describe("cannot write", path, ::GetLastError());
    }
    // Without MOVEFILE_REPLACE_EXISTING the move fails on an output that appeared meanwhile.
    if (error.empty() && !::MoveFileExA(temp, path.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0))
        error = Describe("cannot create", path, ::GetLastError());
    if (!error.empty()) ::DeleteFileA(temp);
    return error;
}

std::string CreateFolder(const std::string& path) {
    if (::CreateDirectoryA(path.c_str(), nullptr)) return {};
    DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS && GetPathKind(path) == PathKind::kFolder) return {};
    return Describe("cannot create the folder", path, error);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/' || folder.back() == ':'))
        return folder + name;
    return folder + "\\" + name;
}

std::string BaseName(const std::string& path) {
    size_t sep = path.find_last_of("/\\:");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string SystemErrorText(uint32_t code) {
    char text[512] = {};
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                    code, 0, text, sizeof(text), nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' ' ||
                          text[length - 1] == '.'))
        text[--length] = '\0';
    return std::string(text, length);
}

int LoadPackageFile(CPackedTools& reader, const std::string& path, int verifyOnly) {
    UniqueFile file = OpenForReading(path);
    if (!file) {
        reader.m_status = kPackageNotRead;
        return 0;
    }
    return reader.Load(file.Get(), verifyOnly);
}

}  // namespace linkmoor::tools
