#pragma once
// The installer error: which part of the launcher raised it (module), the raising place (line)
// and the error code. Thrown as a pointer to a heap object; only the entry catches it.

#include <cstdint>

namespace linkmoor {

class CExceptionEx {
public:
    CExceptionEx(uint16_t module, uint16_t line, uint32_t error)
        : m_module(module), m_line(line), m_error(error) {}
    virtual ~CExceptionEx() = default;

    uint16_t m_module;
    uint16_t m_line;
    uint32_t m_error;
};

}  // namespace linkmoor
