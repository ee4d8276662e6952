#pragma once
// One owner for every kind of Windows handle: a small unique-handle template with a close policy
// per handle kind. Closing keeps the thread's last-error value, so an error read after a failing
// call survives the handles released on the way out.

#include <windows.h>
#include <winsvc.h>

#include <utility>

namespace linkmoor {

// Keeps the thread's last-error value across a scope (a destructor that closes handles, a
// cleanup step) and puts it back at the end.
class CLastErrorKeeper {
public:
    CLastErrorKeeper() : m_error(GetLastError()) {}
    ~CLastErrorKeeper() { SetLastError(m_error); }
    CLastErrorKeeper(const CLastErrorKeeper&) = delete;
    CLastErrorKeeper& operator=(const CLastErrorKeeper&) = delete;

private:
    DWORD m_error;
};

template <typename Policy>
class UniqueHandle {
public:
    using Type = typename Policy::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type value) : m_value(value) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : m_value(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Type Get() const { return m_value; }
    bool IsValid() const { return m_value != Policy::Invalid(); }
    explicit operator bool() const { return IsValid(); }

    // Address for APIs that fill in a handle; releases the current one first.
    Type* Put() {
        Reset();
        return &m_value;
    }

    Type Release() { return std::exchange(m_value, Policy::Invalid()); }

    void Reset(Type value = Policy::Invalid()) {
        if (IsValid()) {
            CLastErrorKeeper keep;
            Policy::Close(m_value);
        }
        m_value = value;
    }

private:
    Type m_value = Policy::Invalid();
};

struct FileHandlePolicy {  // CreateFile results: invalid is INVALID_HANDLE_VALUE
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::CloseHandle(h); }
};

struct KernelHandlePolicy {  // processes, threads, events: invalid is null
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::CloseHandle(h); }
};

struct FindHandlePolicy {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::FindClose(h); }
};

struct VolumeSearchPolicy {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::FindVolumeClose(h); }
};

struct ServiceManagerPolicy {
    using Type = SC_HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::CloseServiceHandle(h); }
};

struct RegistryKeyPolicy {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::RegCloseKey(h); }
};

struct HookPolicy {
    using Type = HHOOK;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::UnhookWindowsHookEx(h); }
};

struct LocalMemoryPolicy {  // blocks the system allocated for the caller (LocalAlloc)
    using Type = void*;
    static Type Invalid() { return nullptr; }
    static void Close(Type p) { ::LocalFree(p); }
};

using UniqueFile = UniqueHandle<FileHandlePolicy>;
using UniqueKernelHandle = UniqueHandle<KernelHandlePolicy>;
using UniqueFind = UniqueHandle<FindHandlePolicy>;
using UniqueVolumeSearch = UniqueHandle<VolumeSearchPolicy>;
using UniqueServiceManager = UniqueHandle<ServiceManagerPolicy>;
using UniqueRegistryKey = UniqueHandle<RegistryKeyPolicy>;
using UniqueHook = UniqueHandle<HookPolicy>;
using UniqueLocalMemory = UniqueHandle<LocalMemoryPolicy>;

}  // namespace linkmoor
