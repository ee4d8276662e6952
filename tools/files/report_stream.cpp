// Buffered standard output with the first failure kept.

#include "tools/files/report_stream.h"

#include <ostream>

namespace linkmoor::tools {

namespace {

// Text waits in the buffer up to this size; a flush (a line on standard error, the end of the
// command) writes it earlier.
constexpr size_t kBufferLimit = 1 << 16;
constexpr char kCannotWrite[] = "cannot write to ";

}  // namespace

bool COutputBuffer::Flush() {
    if (m_pending.empty() || !m_problem.empty()) {
        m_pending.clear();
        return m_problem.empty();
    }
    const std::string error = WriteBytes(m_pending.data(), m_pending.size());
    m_pending.clear();
    if (!error.empty()) m_problem = kCannotWrite + m_name + ": " + error;
    return m_problem.empty();
}

COutputBuffer::int_type COutputBuffer::overflow(int_type c) {
    if (c != traits_type::eof()) {
        m_pending += traits_type::to_char_type(c);
        if (m_pending.size() >= kBufferLimit && !Flush()) return traits_type::eof();
    }
    return traits_type::not_eof(c);
}

std::streamsize COutputBuffer::xsputn(const char* text, std::streamsize count) {
    m_pending.append(text, size_t(count));
    if (m_pending.size() >= kBufferLimit && !Flush()) return 0;
    return count;
}

int COutputBuffer::sync() { return Flush() ? 0 : -1; }

std::string WriteProblem(std::ostream& stream, const std::string& name) {
    stream.flush();
    if (const auto* buffer = dynamic_cast<const COutputBuffer*>(stream.rdbuf())) {
        if (!buffer->Problem().empty()) return buffer->Problem();
    }
    return stream ? std::string() : kCannotWrite + name;
}

}  // namespace linkmoor::tools
