#pragma once
// An environment block as Windows hands one to a new process: "NAME=value" strings, each ended by
// a zero character, the whole block ended by one more. Names compare without regard to case;
// the block keeps them in order of their upper-case forms. Portable: only strings.

#include <string>

namespace linkmoor {

// `block` (ended by two zero characters; null stands for an empty environment) with every
// variable named PATH, in any case, replaced by one holding `path`: in the place of the first
// such variable and under its spelling, or as "Path" in its sorted place when there was none.
std::wstring WithPathReplaced(const wchar_t* block, const std::wstring& path);

}  // namespace linkmoor
