// The troubleshooting page written section by section: boxes, raising places, error codes.

#include "tools/explain/troubleshooting_page.h"

#include <cstdio>
#include <ostream>
#include <string>

#include "diagnostics/explanations.h"
#include "diagnostics/windows_error_names.h"

namespace linkmoor::tools {

namespace {

std::string Hex(uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%x", unsigned(code));
    return text;
}

// A fixed text as Markdown shows it: its line feeds as line breaks within the quotation.
std::string Quoted(const char* text) {
    std::string out = "> ";
    for (const char* c = text; *c; ++c) out += *c == '\n' ? std::string("<br>\n> ") : std::string(1, *c);
    return out;
}

void WriteCauseAndNext(const char* cause, const char* next, std::ostream& out) {
    out << "- **Likely cause:** " << cause << ".\n";
    out << "- **What to do:** " << next << ".\n\n";
}

void WriteBoxes(std::ostream& out) {
    out << "## Boxes with a fixed text\n\n";
    for (const BoxExplanation& box : BoxExplanations()) {
        out << Quoted(box.text) << "\n\n";
        out << "- **Means:** " << box.meaning << ".\n";
        const PlaceExplanation* place = box.hasPlace ? FindPlace(box.module, box.line) : nullptr;
        if (place != nullptr) {
            out << "- **Raised:** module " << box.module << " line " << box.line << ", error "
                << box.code << " (" << Hex(box.code) << "), while " << place->doing << ".\n";
            WriteCauseAndNext(place->cause, place->next, out);
        } else {
            WriteCauseAndNext(box.cause, box.next, out);
        }
    }
}

void WritePlaces(std::ostream& out) {
    out << "## The installation error \"Module: M Line L Err 0xE\"\n\n"
        << "The box titled \"Installation Error\" names the raising place (module and line) and "
           "the Windows error code, in hexadecimal. The place says what the launcher was doing; "
           "the code, where the table of codes below gives a cause for that kind of place, says "
           "more than the place's own likely cause.\n\n";
    for (const PlaceExplanation& place : PlaceExplanations()) {
        out << "### Module " << place.module << " Line " << place.line << ": " << place.operation
            << "\n\n";
        out << "- **Doing:** " << place.doing << ".\n";
        WriteCauseAndNext(place.cause, place.next, out);
    }
}

void WriteCodes(std::ostream& out) {
    out << "## Error codes\n\n"
        << "| Code | Windows name | Meaning | While writing files: cause, what to do | While "
           "starting the customer module: cause, what to do |\n"
        << "|---|---|---|---|---|\n";
    for (const CodeExplanation& code : CodeExplanations()) {
        const char* name = WindowsErrorName(code.code);
        out << "| " << code.code << " (" << Hex(code.code) << ") | " << (name ? name : "") << " | "
            << code.meaning << " | ";
        if (code.fileCause) out << code.fileCause << "; " << code.fileNext;
        out << " | ";
        if (code.launchCause) out << code.launchCause << "; " << code.launchNext;
        out << " |\n";
    }
    out << "\n";
}

}  // namespace

void WriteTroubleshootingPage(std::ostream& out) {
    out << "# Troubleshooting the customer-module launcher\n\n"
        << "Every box the launcher can show, what it means and what to do. The same answers come "
           "from `linkmoor-pack explain`, given the text of a box as the customer reads it "
           "(`linkmoor-pack explain \"Module: 19 Line 998 Err 0x70\"`) or the launcher's log "
           "`linkmoor-technician-customer-module.log`, which it leaves in its work folder (as a "
           "rule the user's temp folder, `%TEMP%`): the tool then tells whether the run "
           "completed, where it stopped, what waits for the next restart and what the customer "
           "module wrote. The files a run unpacks go to a run folder in the system's temp folder "
           "(the Windows folder's `SystemTemp` or `Temp`, as a rule `C:\\Windows\\Temp`), "
           "never to a folder the user's own programs control.\n\n"
        << "This page is generated from the launcher's own explanations "
           "(`build/host/bin/linkmoor-troubleshooting-page > docs/troubleshooting.md`); a test "
           "keeps it in step.\n\n";
    WriteBoxes(out);
    WritePlaces(out);
    WriteCodes(out);
}

}  // namespace linkmoor::tools
