#pragma once
// The account the process runs as: the user record of its token.

#include <windows.h>

#include <cstdint>
#include <memory>

namespace linkmoor {

class CCurrentUser {
public:
    // Reads the process token's user; IsValid() says whether that worked.
    CCurrentUser();

    bool IsValid() const { return m_record != nullptr; }
    // The user's SID; only while valid.
    PSID Sid() const { return reinterpret_cast<const TOKEN_USER*>(m_record.get())->User.Sid; }

private:
    std::unique_ptr<uint8_t[]> m_record;  // TOKEN_USER
};

}  // namespace linkmoor
