#pragma once
// An environment block as Windows hands one to a new process: "NAME=value" strings, each ended by
// a zero character, the whole block ended by one more. Names compare without regard to case;
// the block keeps them in order of their upper-case forms. Portable: only strings.

#include <string>
#include <utility>
#include <vector>

namespace linkmoor {

// A variable's name and value; an empty value stands for no such variable.
using EnvironmentVariable = std::pair<std::wstring, std::wstring>;

// `block` (ended by two zero characters; null stands for an empty environment) with each of
// `variables` set: every variable of that name, in any case, is replaced by one holding the
// value, in the place of the first such variable and under its spelling, or under the given
// spelling in its sorted place when there was none; an empty value removes them all.
std::wstring WithVariablesSet(const wchar_t* block,
                              const std::vector<EnvironmentVariable>& variables);

}  // namespace linkmoor
