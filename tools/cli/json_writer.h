#pragma once
// A small JSON writer for the package tool's machine-readable output: objects and arrays opened
// and closed in order, members written as key and value, two blanks of indent per level. Text
// that is no UTF-8 is written with U+FFFD in place of each byte that does not belong to a
// well-formed sequence.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace linkmoor::tools {

class CJsonWriter {
public:
    explicit CJsonWriter(std::ostream& out) : m_out(out) {}
    ~CJsonWriter();  // ends the document with a line end once everything is closed
    CJsonWriter(const CJsonWriter&) = delete;
    CJsonWriter& operator=(const CJsonWriter&) = delete;

    // Values: inside an array, or after Key inside an object.
    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    void String(const std::string& text);
    void Number(uint64_t value);
    void Integer(int64_t value);
    void Bool(bool value);
    void Null();

    // The key of the next member of the open object.
    CJsonWriter& Key(const std::string& key);

    // A member in one call.
    void Member(const std::string& key, const std::string& text) { Key(key).String(text); }
    void Member(const std::string& key, const char* text) { Key(key).String(text); }
    void Member(const std::string& key, uint64_t value) { Key(key).Number(value); }
    void Member(const std::string& key, uint32_t value) { Key(key).Number(value); }
    void Member(const std::string& key, int value) { Key(key).Integer(value); }
    void Member(const std::string& key, bool value) { Key(key).Bool(value); }

private:
    void Open(char bracket);
    void Close(char bracket);
    void BeforeValue();
    void Quoted(const std::string& text);
    void NewLine();

    std::ostream& m_out;
    std::vector<bool> m_first;  // per open level: no member or element written yet
    bool m_afterKey = false;
};

// Lower-case hexadecimal of bytes (digests).
std::string HexOf(const uint8_t* bytes, size_t size);

}  // namespace linkmoor::tools
