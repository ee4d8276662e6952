#include "box_reader.h"

#include <cstring>

namespace linkmoor::test {

namespace {

constexpr char kDialogClass[] = "#32770";
constexpr int kTextId = 0xFFFF;
constexpr int kIconId = 1088;
constexpr DWORD kPollMs = 20;
constexpr DWORD kSettleMs = 150;  // the box renames its buttons when it is activated

struct FindState {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param) {
    auto* state = reinterpret_cast<FindState*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != state->processId || !IsWindowVisible(window)) return TRUE;
    char className[32] = {};
    GetClassNameA(window, className, sizeof(className));
    if (std::strcmp(className, kDialogClass) != 0) return TRUE;
    state->found = window;
    return FALSE;
}

std::string WindowText(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

BOOL CALLBACK CollectButton(HWND child, LPARAM param) {
    auto* box = reinterpret_cast<BoxContents*>(param);
    char className[32] = {};
    GetClassNameA(child, className, sizeof(className));
    if (_stricmp(className, "Button") == 0) {
        box->buttons.emplace_back(GetDlgCtrlID(child), WindowText(child));
    }
    return TRUE;
}

struct PressState {
    const std::string* label;
    HWND button;
};

BOOL CALLBACK FindButton(HWND child, LPARAM param) {
    auto* state = reinterpret_cast<PressState*>(param);
    char className[32] = {};
    GetClassNameA(child, className, sizeof(className));
    if (_stricmp(className, "Button") == 0 && WindowText(child) == *state->label) {
        state->button = child;
        return FALSE;
    }
    return TRUE;
}

void AppendEscaped(std::string& out, const std::string& value) {
    for (char c : value) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\\') out += "\\\\";
        else out += c;
    }
}

}  // namespace

HWND FindBox(DWORD processId) {
    FindState state{processId, nullptr};
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

HWND WaitForBox(DWORD processId, HANDLE process, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND box = FindBox(processId)) {
            Sleep(kSettleMs);
            return box;
        }
        if (process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return nullptr;
        if (GetTickCount() - start >= timeoutMs) return nullptr;
        Sleep(kPollMs);
    }
}

BoxContents ReadBox(HWND box) {
    BoxContents contents;
    contents.caption = WindowText(box);
    char text[2048] = {};
    GetDlgItemTextA(box, kTextId, text, sizeof(text));
    contents.text = text;
    // The icon control stays in the dialog when the style names no icon, hidden and empty.
    HWND icon = GetDlgItem(box, kIconId);
    contents.hasIcon = icon && IsWindowVisible(icon) && SendMessageA(icon, STM_GETICON, 0, 0);
    EnumChildWindows(box, CollectButton, reinterpret_cast<LPARAM>(&contents));
    return contents;
}

bool PressButton(HWND box, const std::string& label) {
    PressState state{&label, nullptr};
    EnumChildWindows(box, FindButton, reinterpret_cast<LPARAM>(&state));
    if (!state.button) return false;
    SendMessageA(state.button, BM_CLICK, 0, 0);
    return true;
}

std::string FormatBox(const BoxContents& box) {
    std::string out = "caption=";
    AppendEscaped(out, box.caption);
    out += "\ntext=";
    AppendEscaped(out, box.text);
    out += "\nicon=";
    out += box.hasIcon ? "1" : "0";
    out += "\n";
    for (const auto& [id, label] : box.buttons) {
        out += "button=" + std::to_string(id) + ":";
        AppendEscaped(out, label);
        out += "\n";
    }
    return out;
}

}  // namespace linkmoor::test
