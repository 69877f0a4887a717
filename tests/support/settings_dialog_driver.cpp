#include "support/settings_dialog_driver.h"

#include <string>

#include "settings_dialog/settings_dialog.h"

namespace kivora::testing {
namespace {

struct Run {
  std::vector<DialogStep> steps;
  size_t done = 0;
  int endButton = IDCANCEL;
  ULONGLONG deadline = 0;
  bool busy = false;
  bool ended = false;
};
Run* current = nullptr;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (!current || current->busy || current->ended) return;
  HWND dialog = FindWindowW(nullptr, std::wstring(kSettingsDialogTitle).c_str());
  if (!dialog) return;
  current->busy = true;
  while (current->done < current->steps.size() && current->steps[current->done](dialog)) ++current->done;
  current->busy = false;
  const bool late = GetTickCount64() > current->deadline;
  if (current->done == current->steps.size() || late) {
    current->ended = true;
    PostMessageW(dialog, WM_COMMAND, late ? IDCANCEL : current->endButton, 0);
  }
}

bool IsExtended(WORD key) {
  return (key >= VK_PRIOR && key <= VK_DOWN) || key == VK_INSERT || key == VK_DELETE || key == VK_RCONTROL ||
         key == VK_RMENU || key == VK_LWIN || key == VK_RWIN || key == VK_APPS;
}

}  // namespace

size_t RunSettingsDialog(HWND window, std::vector<DialogStep> steps, int endButton, DWORD deadlineMilliseconds) {
  Run run{std::move(steps), 0, endButton, GetTickCount64() + deadlineMilliseconds};
  current = &run;
  const UINT_PTR timer = SetTimer(nullptr, 0, 30, Tick);
  SendMessageW(window, WM_SYSCOMMAND, kSettingsCommand, 0);
  KillTimer(nullptr, timer);
  current = nullptr;
  return run.done;
}

std::vector<HWND> HotkeyFields(HWND dialog) {
  std::vector<HWND> fields;
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM data) -> BOOL {
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        if (lstrcmpiW(name, L"msctls_hotkey32") == 0) reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&fields));
  return fields;
}

HWND StatusOf(HWND field) {
  HWND clear = GetWindow(field, GW_HWNDNEXT);
  return clear ? GetWindow(clear, GW_HWNDNEXT) : nullptr;
}

std::wstring TextOf(HWND control) {
  wchar_t text[256] = {};
  GetWindowTextW(control, text, 256);
  return text;
}

void PressKeys(std::initializer_list<WORD> keys) {
  std::vector<INPUT> inputs;
  const auto add = [&inputs](WORD key, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags | (IsExtended(key) ? KEYEVENTF_EXTENDEDKEY : 0);
    inputs.push_back(input);
  };
  for (WORD key : keys) add(key, 0);
  for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) add(*key, KEYEVENTF_KEYUP);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

}  // namespace kivora::testing
