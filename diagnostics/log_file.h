#pragma once
// The launcher's log file: where it lives and how it is opened.

#include <windows.h>

#include <string>

namespace linkmoor {

// Created in the work folder.
inline constexpr char kLogFileName[] = "linkmoor-technician-customer-module.log";

// Creates the log file at `path` anew (an earlier log is truncated), for writing, shared for
// reading and writing, and inheritable: the customer module receives it as its standard error.
// The work folder may be writable by less-trusted programs: a name that stands there as a link
// (a file with a second hard link, a reparse point) is removed and a fresh file created in its
// place, so the launcher never truncates or writes the file such a link leads to.
// Failure is not reported here: the invalid handle is handed on and the log writer drops every
// line written through it. The caller owns the handle.
HANDLE CreateLogFile(const std::string& path);

}  // namespace linkmoor
