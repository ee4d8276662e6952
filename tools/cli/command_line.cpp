// Reading the package tool's command line, and its help.

#include "tools/cli/command_line.h"

#include <zlib.h>

#include <initializer_list>

#include "resources/version.h"
#include "tools/model/entry_names.h"

namespace linkmoor::tools {

namespace {

struct CommandHelp {
    const char* command;
    const char* text;  // the synopsis line, then what it does
};

const CommandHelp kHelp[] = {
    {"create",
     "linkmoor-pack create [--force] [--json] [--strict] [--key N] [--list LISTFILE]... OUT\n"
     "                     [FILE[=NAME]]...\n"
     "    Packs the files, in the order given (the lines of the list files first), into the new\n"
     "    package OUT; OUT '-' writes it to standard output (never to a terminal). An entry is\n"
     "    named after its file unless =NAME follows (split at the last '=').\n"
     "    --list FILE  one FILE[=NAME] per line ('-': standard input); relative paths are taken\n"
     "                 from the list file's folder; blank lines and '#' lines are skipped, blanks\n"
     "                 around a line dropped, a UTF-8 byte order mark allowed; UTF-16 lists are\n"
     "                 read too. Every problem of a list is reported, as LIST:LINE: what.\n"
     "    --key N      the header's key byte (0-255 or 0x00-0xff); by default it is derived from\n"
     "                 the names and contents, so the same inputs give the same bytes.\n"
     "    --force      replaces OUT when it already is a package or a launcher with a package.\n"
     "    --json       one JSON document: the output with its SHA-256, the entries' digests.\n"
     "    --strict     the memory warning is an error: nothing written, exit code 14.\n"
     "    Names must be plain file names Windows can write (at most 255 UTF-16 units); names\n"
     "    differing only in letter case are refused. Exit codes: 0 done, 1 refused or failed.\n"},
    {"append",
     "linkmoor-pack append [--force] [--json] [--strict] EXE PACKAGE OUT\n"
     "    Writes the new file OUT: the launcher EXE (a complete Windows executable, x86 or x64,\n"
     "    that carries no package and is not signed) followed by the package file PACKAGE. Sign\n"
     "    OUT afterwards. --force replaces OUT when it already is a launcher with a package. OUT\n"
     "    gets EXE's executable bits. --json and --strict as for create.\n"
     "    Exit codes: 0 done, 1 refused or failed, 14 a warning with --strict.\n"},
    {"verify",
     "linkmoor-pack verify [--json] FILE\n"
     "    Loads the package inside FILE as the launcher does and checks every digest, then that\n"
     "    what stands before it is a complete Windows executable, x86 or x64 (or nothing: a\n"
     "    package file); a refusal says why, and a launcher's line says its machine. For a signed\n"
     "    FILE it says whether the signature covers the package. Exit codes: 0 valid, 1 no\n"
     "    package or a damaged one, 2 FILE cannot be read, 3 memory ran out, 8 valid but no\n"
     "    launcher image in front, 12 valid but the certificate table is cut short, outside\n"
     "    FILE or malformed (the tool checks where a signature lies, not whether it is valid).\n"},
    {"list",
     "linkmoor-pack list [--json] FILE\n"
     "    Prints one line per entry of a valid package, in the reader's index order: the size in\n"
     "    bytes, one blank, the name. Exit codes as for verify (without 8).\n"},
    {"extract",
     "linkmoor-pack extract [--force] [--json] FILE DIR\n"
     "    Writes every entry of a valid package into DIR (created when missing) under its name.\n"
     "    --force replaces entry files that exist already (never FILE itself). A failure part\n"
     "    way, or an interrupt, removes what this run wrote. --json: one JSON document with every\n"
     "    file written. Exit codes as for verify; 1 also when a file cannot be written.\n"},
    {"check",
     "linkmoor-pack check [--json] [--strict] FILE\n"
     "    For x86, amd64 and arm64 on Windows 10 and later and on older Windows, lists the entries\n"
     "    a launcher run would unpack and the files they become, then the entries no run asks\n"
     "    for. A missing required entry is an error, a missing OpenSSL library a warning. Exit\n"
     "    codes as for verify; 5 a machine's run would stop, 8 no launcher image in front,\n"
     "    9 a package file without a launcher, 12 the certificate table is not whole, 14 a\n"
     "    warning with --strict.\n"},
    {"diff",
     "linkmoor-pack diff [--json] OLD NEW\n"
     "    Compares the packages inside two files entry by entry (changed, added, removed) and\n"
     "    says whether the package bytes, the bytes before the package and the bytes after it\n"
     "    are the same. Exit codes as for verify; 6 the entries differ, 10 the entries are the\n"
     "    same but bytes differ, 11 only the signature differs.\n"},
    {"explain",
     "linkmoor-pack explain TEXT... | explain LOGFILE\n"
     "    Tells what a box of the launcher means (its text as the customer reads it, such as\n"
     "    \"Module: 19 Line 998 Err 0x70\") or what a launcher log shows: where the run stopped,\n"
     "    the likely cause and what to do next. Exit code 7 when it is neither.\n"},
};

constexpr char kCommonHelp[] =
    "Options take their value as --opt VALUE or --opt=VALUE; '--' ends the options.\n"
    "Outputs are written to a temporary file beside them and renamed at the end, so a failure or\n"
    "an interrupt leaves none behind. --quiet: standard error for errors only. Exit code 13: a\n"
    "report could not be written whole; 64: the command line is not understood.\n";

const CommandHelp* HelpOf(const std::string& command) {
    for (const CommandHelp& help : kHelp)
        if (command == help.command) return &help;
    return nullptr;
}

bool OneOf(const std::string& command, std::initializer_list<const char*> commands) {
    for (const char* c : commands)
        if (command == c) return true;
    return false;
}

}  // namespace

bool IsCommand(const std::string& command) { return HelpOf(command) != nullptr; }

std::string HelpText(const std::string& command) {
    if (const CommandHelp* help = HelpOf(command)) return std::string("usage: ") + help->text + kCommonHelp;
    std::string text = "usage:\n";
    for (const CommandHelp& help : kHelp) text += std::string("  ") + help.text;
    text += "  linkmoor-pack help [COMMAND] | COMMAND --help | --version\n";
    return text + kCommonHelp;
}

std::string UsageError(const std::string& command, const std::string& message) {
    const std::string help = IsCommand(command) ? "linkmoor-pack " + command + " --help" : "linkmoor-pack --help";
    return kProgram + message + " (see '" + help + "')";
}

std::string VersionText() {
    return std::string("linkmoor-pack ") + kToolVersion + "\nlauncher " + LINKMOOR_LAUNCHER_VERSION_TEXT +
           "\nzlib " + zlibVersion() + "\n";
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    if (args.empty()) {
        line.error = "no command given";
        return line;
    }
    line.command = args[0];
    bool options = true;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!options || arg.size() < 2 || arg[0] != '-') {
            line.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options = false;
            continue;
        }
        // --opt=value beside --opt value
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const bool inlineValue = equals != std::string::npos;
        static const struct {
            const char* name;
            bool CommandLine::*flag;
        } kFlags[] = {{"--force", &CommandLine::force}, {"--json", &CommandLine::json},
                      {"--quiet", &CommandLine::quiet}, {"--strict", &CommandLine::strict},
                      {"--help", &CommandLine::help},   {"-h", &CommandLine::help}};
        bool flag = false;
        for (const auto& known : kFlags) {
            if (name != known.name) continue;
            if (inlineValue) {
                line.error = name + " takes no value";
                return line;
            }
            line.*known.flag = flag = true;
        }
        if (flag) continue;
        if (name != "--key" && name != "--list") {
            line.error = "unknown option '" + arg + "'";
            return line;
        }
        if (!inlineValue && i + 1 == args.size()) {
            line.error = name + " needs a value";
            return line;
        }
        const std::string value = inlineValue ? arg.substr(equals + 1) : args[++i];
        if (name == "--list") {
            line.listFiles.push_back(value);
        } else if (!ParseKeyByte(value, line.key)) {
            line.error = "--key takes 0 to 255 or 0x00 to 0xff, not '" + value + "'";
            return line;
        } else {
            line.keyGiven = true;
        }
    }
    if (line.help) return line;
    const bool isCreate = line.command == "create";
    if ((line.keyGiven || !line.listFiles.empty()) && !isCreate)
        line.error = "--key and --list belong to create";
    else if (line.force && !OneOf(line.command, {"create", "append", "extract"}))
        line.error = "--force belongs to create, append and extract";
    else if (line.json && line.command == "explain")
        line.error = "--json belongs to create, append, verify, list, extract, check and diff";
    else if (line.strict && !OneOf(line.command, {"create", "append", "check"}))
        line.error = "--strict belongs to create, append and check, the commands that warn";
    else if (line.json && isCreate && !line.operands.empty() && line.operands[0] == kStandardStream)
        line.error = "--json writes its document on standard output, where create '-' writes the package";
    for (size_t i = isCreate ? 1 : 0; line.error.empty() && i < line.operands.size(); ++i)
        if (line.operands[i] == kStandardStream)
            line.error = "'-' stands for standard output as create's OUT and for standard input after --list only "
                         "(a file named '-' is ./-)";
    return line;
}

}  // namespace linkmoor::tools
