#include "run/environment_block.h"

#include <algorithm>
#include <cwctype>
#include <vector>

namespace linkmoor {

namespace {

constexpr wchar_t kPathName[] = L"Path";

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

}  // namespace

std::wstring WithPathReplaced(const wchar_t* block, const std::wstring& path) {
    std::vector<std::wstring> variables;
    for (const wchar_t* at = block; at && *at; at += variables.back().size() + 1)
        variables.emplace_back(at);

    const std::wstring pathKey = Upper(kPathName);
    std::vector<std::wstring> kept;
    std::wstring pathName;
    size_t pathAt = std::wstring::npos;
    for (const std::wstring& variable : variables) {
        const std::wstring name = NameOf(variable);
        if (Upper(name) != pathKey) {
            kept.push_back(variable);
        } else if (pathAt == std::wstring::npos) {
            pathAt = kept.size();
            pathName = name;
        }
    }
    if (pathAt == std::wstring::npos) {
        pathName = kPathName;
        pathAt = 0;
        while (pathAt < kept.size() && Upper(NameOf(kept[pathAt])) < pathKey) ++pathAt;
    }
    kept.insert(kept.begin() + std::ptrdiff_t(pathAt), pathName + L"=" + path);

    std::wstring result;
    for (const std::wstring& variable : kept) {
        result += variable;
        result += L'\0';
    }
    result += L'\0';
    return result;
}

}  // namespace linkmoor
