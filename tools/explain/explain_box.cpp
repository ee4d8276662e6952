// Explaining the text of a box.

#include <cctype>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string_view>

#include "diagnostics/error_messages.h"
#include "diagnostics/explanations.h"
#include "diagnostics/raising_places.h"
#include "diagnostics/windows_error_names.h"
#include "tools/explain/explain.h"
#include "tools/explain/explain_scan.h"
#include "tools/files/file_io.h"

namespace linkmoor::tools {

namespace {

// A typed or pasted text reduced to what tells it apart: lower case, no blanks or line ends
// (also no typed "\n"), no quotation marks around it, no full stop or exclamation mark at its end.
std::string Normalized(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == 'r')) {
            ++i;
            continue;
        }
        if (std::isspace(c)) continue;
        out += char(std::tolower(c));
    }
    while (!out.empty() && (out.back() == '"' || out.back() == '\'' || out.back() == '.' ||
                            out.back() == '!'))
        out.pop_back();
    const size_t first = out.find_first_not_of("\"'");
    return first == std::string::npos ? std::string() : out.substr(first);
}

struct GenericBox {
    uint16_t module;
    uint16_t line;
    uint32_t code;
};

// The generic box in a normalized text: "module", an optional colon and one to five decimal
// digits; the same for "line"; "err", an optional colon, an optional "0x" and one to eight
// hexadecimal digits; nothing else. Nothing when the numbers do not fit the box's fields.
std::optional<GenericBox> ReadGenericBox(std::string_view text) {
    constexpr size_t kLongestDecimal = 5;
    constexpr size_t kLongestHex = 8;
    const auto field = [&text](std::string_view word, int base, size_t longest,
                               uint64_t limit) -> std::optional<uint64_t> {
        if (!TakePrefix(text, word)) return std::nullopt;
        TakePrefix(text, ":");
        if (base == 16) TakePrefix(text, "0x");
        const std::string_view digits = TakeDigits(text, base);
        if (digits.size() > longest) return std::nullopt;
        return DigitsValue(digits, base, limit);
    };
    const auto module = field("module", 10, kLongestDecimal, UINT16_MAX);
    const auto line = module ? field("line", 10, kLongestDecimal, UINT16_MAX) : std::nullopt;
    const auto code = line ? field("err", 16, kLongestHex, UINT32_MAX) : std::nullopt;
    if (!code || !text.empty()) return std::nullopt;
    return GenericBox{uint16_t(*module), uint16_t(*line), uint32_t(*code)};
}

// "0x70 = 112 ERROR_DISK_FULL: there is not enough space on the disk"
std::string CodeLine(uint32_t code) {
    char hex[16];
    std::snprintf(hex, sizeof(hex), "0x%x", unsigned(code));
    std::string line = std::string(hex) + " = " + std::to_string(code);
    if (const char* name = WindowsErrorName(code)) line += std::string(" ") + name;
    const CodeExplanation* known = FindCode(code);
    std::string meaning = known ? known->meaning : SystemErrorText(code);
    if (meaning.empty()) meaning = "a Windows error the launcher's own calls do not raise";
    return line + ": " + meaning;
}

std::string PlaceLine(const PlaceExplanation& place) {
    std::string line = "module " + std::to_string(place.module);
    if (const char* name = ModuleName(place.module)) line += std::string(" (") + name + ")";
    return line + ", line " + std::to_string(place.line) + ": " + place.operation;
}

// The box the launcher shows instead of the generic one for this error, if any.
const BoxExplanation* FixedBoxFor(uint16_t module, uint16_t line, uint32_t code) {
    for (const BoxExplanation& box : BoxExplanations()) {
        if (!box.hasPlace || box.code != code) continue;
        // The package error is told apart by its status; the others by their code alone.
        if (code != raising::kErrorPackage || (box.module == module && box.line == line))
            return &box;
    }
    return nullptr;
}

void WriteBoxOfPlace(const BoxExplanation& box, std::ostream& out) {
    out << "meaning: " << box.meaning << "\n";
    const PlaceExplanation* place = FindPlace(box.module, box.line);
    if (place == nullptr) return;
    out << "place: " << PlaceLine(*place) << "\n";
    out << "doing: " << place->doing << "\n";
    out << "error: " << CodeLine(box.code) << "\n";
    out << "cause: " << place->cause << "\n";
    out << "next: " << place->next << "\n";
}

bool ExplainFixedText(const std::string& normalized, std::ostream& out) {
    const BoxExplanation* match = nullptr;
    for (const BoxExplanation& box : BoxExplanations()) {
        const std::string text = Normalized(box.text);
        if (text == normalized) {
            match = &box;
            break;
        }
        // The beginning of a longer text, long enough to tell the boxes apart.
        constexpr size_t kShortestBeginning = 16;
        if (normalized.size() >= kShortestBeginning && text.compare(0, normalized.size(), normalized) == 0) {
            if (match != nullptr) return false;
            match = &box;
        }
    }
    if (match == nullptr) return false;
    std::string shown(match->text);
    for (size_t at = shown.find('\n'); at != std::string::npos; at = shown.find('\n', at))
        shown.replace(at, 1, "\\n");
    out << "box: \"" << shown << "\" (caption \"" << match->caption << "\")\n";
    if (match->hasPlace) {
        WriteBoxOfPlace(*match, out);
        return true;
    }
    out << "meaning: " << match->meaning << "\n";
    out << "cause: " << match->cause << "\n";
    out << "next: " << match->next << "\n";
    return true;
}

}  // namespace

void WriteErrorExplanation(uint16_t module, uint16_t line, uint32_t code, std::ostream& out) {
    const PlaceExplanation* place = FindPlace(module, line);
    if (place == nullptr) return;
    out << "place: " << PlaceLine(*place) << "\n";
    out << "doing: " << place->doing << "\n";
    out << "error: " << CodeLine(code) << "\n";
    const CodeExplanation* known = FindCode(code);
    const char* cause = place->cause;
    const char* next = place->next;
    if (known != nullptr && place->context == PlaceContext::kFiles && known->fileCause) {
        cause = known->fileCause;
        next = known->fileNext;
    } else if (known != nullptr && place->context == PlaceContext::kLaunch && known->launchCause) {
        cause = known->launchCause;
        next = known->launchNext;
    }
    out << "cause: " << cause << "\n";
    out << "next: " << next << "\n";
    if (const BoxExplanation* box = FixedBoxFor(module, line, code))
        out << "note: the launcher shows this error as the box \"" << box->text << "\"\n";
}

bool ExplainBoxText(const std::string& text, std::ostream& out) {
    const std::string normalized = Normalized(text);
    if (const std::optional<GenericBox> box = ReadGenericBox(normalized)) {
        if (!FindPlace(box->module, box->line)) return false;
        char shown[64];
        std::snprintf(shown, sizeof(shown), "Module: %u Line %u Err 0x%x", unsigned(box->module),
                      unsigned(box->line), unsigned(box->code));
        out << "box: \"" << shown << "\" (caption \"" << kGenericErrorCaption << "\")\n";
        WriteErrorExplanation(box->module, box->line, box->code, out);
        return true;
    }
    return !normalized.empty() && ExplainFixedText(normalized, out);
}

}  // namespace linkmoor::tools
