#pragma once
// The standard streams of the package tool as buffers that keep the first failed write: a report
// cut short by a full disk, a closed output or a reader that went away is reported (one line
// naming the output, its own exit code) instead of ending the program as if all was written.

#include <cstddef>
#include <iosfwd>
#include <streambuf>
#include <string>
#include <utility>

namespace linkmoor::tools {

class COutputBuffer : public std::streambuf {
public:
    explicit COutputBuffer(std::string name) : m_name(std::move(name)) {}

    // "cannot write to standard output: REASON" after the first failed write; empty while none
    // failed. Once a write failed, later text is dropped.
    const std::string& Problem() const { return m_problem; }

protected:
    // Writes all `size` bytes; the system's words when that failed. Runs when text is flushed.
    virtual std::string WriteBytes(const char* data, size_t size) = 0;

    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    bool Flush();

    std::string m_name;
    std::string m_pending;
    std::string m_problem;
};

// The problem of `stream` after flushing it: its COutputBuffer's, or for any other buffer
// "cannot write to NAME" when the stream went bad; empty when everything was written.
std::string WriteProblem(std::ostream& stream, const std::string& name);

}  // namespace linkmoor::tools
