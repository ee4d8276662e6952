#pragma once
// What every box and every raising place of the launcher means, for the technician who helps a
// customer: what the launcher was doing, what an error code means, the likely cause and what to
// do next. One row per raising place of the register (diagnostics/raising_places.h), one per
// status of the package reader, one per box with a fixed text; the package tool's explain command
// and the troubleshooting page are made from these rows alone. Portable.

#include <cstddef>
#include <cstdint>

namespace linkmoor {

// What a raising place was doing, as far as an error code can say more about the cause.
enum class PlaceContext {
    kSetUp,         // the engine's checks and objects before anything is written
    kFiles,         // creating folders and writing files in the run folder
    kLaunch,        // starting the customer module
    kMissingEntry,  // a file the machine needs is not in the package: the code carries nothing
    kFixedCode,     // the error code is fixed by the place, not a Windows error
};

struct PlaceExplanation {
    uint16_t module;
    uint16_t line;
    const char* operation;  // the launcher's operation ("InstallFile", "the engine's set-up")
    const char* doing;      // what it was doing when it raised the error
    PlaceContext context;
    const char* cause;      // the likely cause when the error code tells nothing more
    const char* next;       // what the customer or technician can do
};

struct CodeExplanation {
    uint32_t code;
    const char* meaning;      // plain text
    const char* fileCause;    // while folders are created and files written (null: the place's)
    const char* fileNext;
    const char* launchCause;  // while the customer module is started (null: the place's)
    const char* launchNext;
};

// A box with a fixed text. An installer error's box stands for its place (hasPlace); the other
// boxes explain themselves.
struct BoxExplanation {
    const char* text;
    const char* caption;
    bool hasPlace;
    uint16_t module;  // the place and code the box stands for, when hasPlace
    uint16_t line;
    uint32_t code;
    const char* meaning;  // what the box tells, for every box
    const char* cause;    // for a box without a place
    const char* next;
};

template <typename Row>
struct Rows {
    const Row* begin() const { return first; }
    const Row* end() const { return first + count; }
    const Row* first;
    size_t count;
};

// Every raising place with its explanation, in the register's order; then the package reader's
// statuses as the package error carries them (module 65535, lines 65535, 65534, 65533).
Rows<PlaceExplanation> PlaceExplanations();
Rows<CodeExplanation> CodeExplanations();
Rows<BoxExplanation> BoxExplanations();

// Null when there is no such place, code or box.
const PlaceExplanation* FindPlace(uint16_t module, uint16_t line);
const CodeExplanation* FindCode(uint32_t code);

// The module's name for a technician ("installer engine", "customer-module run").
const char* ModuleName(uint16_t module);

}  // namespace linkmoor
