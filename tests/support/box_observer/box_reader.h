#pragma once
// Reading and pressing a message box of another process (or of another thread of this one):
// the box is a dialog of class "#32770"; its text is the static control 0xFFFF, its icon the
// static control 1088, its buttons the child buttons with their ids.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace linkmoor::test {

struct BoxContents {
    std::string caption;
    std::string text;
    bool hasIcon = false;
    std::vector<std::pair<int, std::string>> buttons;  // id and label, in child order
};

// The first visible message box owned by a thread of `processId`, or null.
HWND FindBox(DWORD processId);

// Waits until a box of `processId` is on screen and settled. Stops early, returning null, when
// `process` (if given) ends or `timeoutMs` passes.
HWND WaitForBox(DWORD processId, HANDLE process, DWORD timeoutMs);

BoxContents ReadBox(HWND box);

// Clicks the button whose label is `label`. False when there is none.
bool PressButton(HWND box, const std::string& label);

// The box as key=value lines ("caption=", "text=", "icon=", "button=<id>:<label>"); line feeds,
// carriage returns and backslashes inside values are written as \n, \r and \\.
std::string FormatBox(const BoxContents& box);

}  // namespace linkmoor::test
