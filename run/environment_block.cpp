#include "run/environment_block.h"

#include <algorithm>
#include <cwctype>

namespace linkmoor {

namespace {

// The name of a "NAME=value" string. A name may start with '=' (the per-drive current folders
// "=C:=C:\..."), so the separator is looked for after the first character.
std::wstring NameOf(const std::wstring& variable) {
    const size_t equals = variable.find(L'=', 1);
    return variable.substr(0, equals == std::wstring::npos ? variable.size() : equals);
}

std::wstring Upper(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return wchar_t(std::towupper(c)); });
    return text;
}

void Set(std::vector<std::wstring>& variables, const EnvironmentVariable& variable) {
    const std::wstring key = Upper(variable.first);
    std::vector<std::wstring> kept;
    std::wstring name;
    size_t at = std::wstring::npos;
    for (const std::wstring& existing : variables) {
        const std::wstring existingName = NameOf(existing);
        if (Upper(existingName) != key) {
            kept.push_back(existing);
        } else if (at == std::wstring::npos) {
            at = kept.size();
            name = existingName;
        }
    }
    if (at == std::wstring::npos) {
        name = variable.first;
        at = 0;
        while (at < kept.size() && Upper(NameOf(kept[at])) < key) ++at;
    }
    if (!variable.second.empty())
        kept.insert(kept.begin() + std::ptrdiff_t(at), name + L"=" + variable.second);
    variables.swap(kept);
}

}  // namespace

std::wstring WithVariablesSet(const wchar_t* block,
                              const std::vector<EnvironmentVariable>& variables) {
    std::vector<std::wstring> strings;
    for (const wchar_t* at = block; at && *at; at += strings.back().size() + 1)
        strings.emplace_back(at);
    for (const EnvironmentVariable& variable : variables) Set(strings, variable);

    std::wstring result;
    for (const std::wstring& variable : strings) {
        result += variable;
        result += L'\0';
    }
    result += L'\0';
    return result;
}

}  // namespace linkmoor
