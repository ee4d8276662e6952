#include "win32/current_user.h"

#include <new>

#include "win32/unique_handle.h"

namespace linkmoor {

CCurrentUser::CCurrentUser() {
    UniqueKernelHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) return;
    DWORD length = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &length);
    if (length == 0) return;
    std::unique_ptr<uint8_t[]> record(new (std::nothrow) uint8_t[length]);
    if (record && ::GetTokenInformation(token.Get(), TokenUser, record.get(), length, &length)) {
        m_record = std::move(record);
    }
}

}  // namespace linkmoor
