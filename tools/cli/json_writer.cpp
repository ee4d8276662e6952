// JSON text (RFC 8259) as the package tool writes it.

#include "tools/cli/json_writer.h"

#include <ostream>

#include "tools/files/utf8.h"

namespace linkmoor::tools {

CJsonWriter::~CJsonWriter() {
    if (m_first.empty()) m_out << "\n";
}

void CJsonWriter::NewLine() { m_out << "\n" << std::string(2 * m_first.size(), ' '); }

void CJsonWriter::BeforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_first.empty()) return;  // the document's one value
    if (!m_first.back()) m_out << ",";
    m_first.back() = false;
    NewLine();
}

CJsonWriter& CJsonWriter::Key(const std::string& key) {
    BeforeValue();
    Quoted(key);
    m_out << ": ";
    m_afterKey = true;
    return *this;
}

void CJsonWriter::Open(char bracket) {
    BeforeValue();
    m_out << bracket;
    m_first.push_back(true);
}

void CJsonWriter::Close(char bracket) {
    const bool empty = m_first.back();
    m_first.pop_back();
    if (!empty) NewLine();
    m_out << bracket;
}

void CJsonWriter::String(const std::string& text) {
    BeforeValue();
    Quoted(text);
}

void CJsonWriter::Number(uint64_t value) {
    BeforeValue();
    m_out << value;
}

void CJsonWriter::Integer(int64_t value) {
    BeforeValue();
    m_out << value;
}

void CJsonWriter::Bool(bool value) {
    BeforeValue();
    m_out << (value ? "true" : "false");
}

void CJsonWriter::Null() {
    BeforeValue();
    m_out << "null";
}

void CJsonWriter::Quoted(const std::string& text) {
    m_out << '"';
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8SequenceAt(text, at);
        if (length == 0) {
            m_out << "\xEF\xBF\xBD";  // U+FFFD for a byte that is no UTF-8
            ++at;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(text[at]);
        if (c == '"' || c == '\\') {
            m_out << '\\' << char(c);
        } else if (c < 0x20 || c == 0x7F) {
            m_out << ControlEscape(c);
        } else {
            m_out.write(text.data() + at, std::streamsize(length));
        }
        at += length;
    }
    m_out << '"';
}

std::string HexOf(const uint8_t* bytes, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * size);
    for (size_t i = 0; i < size; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 15];
    }
    return hex;
}

}  // namespace linkmoor::tools
