// The --json documents of create, append and extract.

#include "tools/cli/write_record.h"

#include <sstream>

#include "package/md5.h"
#include "package/sha256.h"
#include "tools/cli/command_line.h"
#include "tools/cli/json_report.h"
#include "tools/cli/json_writer.h"

namespace linkmoor::tools {

namespace {

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void WriteOptionalNumber(CJsonWriter& json, const std::string& key, bool present, uint64_t value) {
    json.Key(key);
    if (present) json.Number(value);
    else json.Null();
}

}  // namespace

WrittenEntry RecordEntry(const std::string& name, const uint8_t* data, size_t size) {
    WrittenEntry entry;
    entry.name = name;
    entry.size = size;
    const Md5Digest md5 = CMd5::Of(data, size);
    const Sha256Digest sha256 = CSha256::Of(data, size);
    entry.md5 = HexOf(md5.data(), md5.size());
    entry.sha256 = HexOf(sha256.data(), sha256.size());
    return entry;
}

void RecordOutput(WriteRecord& record, const std::string& path, const uint8_t* data, size_t size) {
    record.output = path;
    record.size = size;
    const Sha256Digest digest = CSha256::Of(data, size);
    record.sha256 = HexOf(digest.data(), digest.size());
}

int RunRecorded(WritingCommand command, const CommandLine& line, std::ostream& out, std::ostream& err) {
    WriteRecord record;
    if (!line.json) return command(line, out, err, record);
    std::ostringstream text, messages;
    const int exitCode = command(line, text, messages, record);
    const std::vector<std::string> results = LinesOf(text.str());
    const std::vector<std::string> problems = LinesOf(messages.str());
    const std::string summary = exitCode == 0 && !results.empty() ? results.front()
                                : problems.empty()                ? std::string()
                                                                  : problems.front();

    CJsonWriter json(out);
    BeginDocument(json, line.command, exitCode, summary);
    json.Key("messages").BeginArray();
    for (const std::string& message : problems) json.String(message);
    json.EndArray();
    json.Key("output");
    if (!record.written) {
        json.Null();
    } else {
        json.BeginObject();
        json.Member("path", record.output);
        WriteOptionalNumber(json, "size", !record.sha256.empty(), record.size);
        json.Key("sha256");
        if (record.sha256.empty()) json.Null();
        else json.String(record.sha256);
        json.EndObject();
    }
    if (line.command == "create") WriteOptionalNumber(json, "key_byte", record.keyByte >= 0, uint64_t(record.keyByte));
    if (line.command == "append") {
        WriteOptionalNumber(json, "package_offset", record.written, record.packageOffset);
        json.Key("machine");
        if (record.machine) json.String(record.machine);
        else json.Null();
    }
    // A failed run leaves nothing it wrote (what extract replaced with --force its messages name).
    json.Key("entries").BeginArray();
    for (const WrittenEntry& entry : record.written ? record.entries : std::vector<WrittenEntry>()) {
        json.BeginObject();
        json.Member("name", entry.name);
        json.Member("size", entry.size);
        json.Member("md5", entry.md5);
        json.Member("sha256", entry.sha256);
        if (line.command == "extract") {
            json.Member("target", entry.target);
            json.Member("replaced", entry.replaced);
        }
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    return exitCode;
}

}  // namespace linkmoor::tools
