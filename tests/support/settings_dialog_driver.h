// Drives the settings dialog from inside its own message loop: the test opens it
// from the system menu, and each step runs on a timer tick while it is open.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace kivora::testing {

// One step against the open dialog. false: the state it waits for is not there
// yet, so it is tried again at the next tick, up to the run's deadline.
using DialogStep = std::function<bool(HWND dialog)>;

// Opens the dialog through window's system menu, runs the steps in turn, then ends
// it with endButton (IDOK or IDCANCEL). Returns how many steps were done: all of
// them, or the one that waited past the deadline is the first not done.
size_t RunSettingsDialog(HWND window, std::vector<DialogStep> steps, int endButton = IDCANCEL,
                         DWORD deadlineMilliseconds = 15000);

// The hotkey rows' fields, in list order.
std::vector<HWND> HotkeyFields(HWND dialog);
// The row's status label (the label after its 清除 button).
HWND StatusOf(HWND field);
std::wstring TextOf(HWND control);

// Real key presses through the system's input queue: keys go down in order and up in
// reverse (modifiers first, then the key).
void PressKeys(std::initializer_list<WORD> keys);

}  // namespace kivora::testing
