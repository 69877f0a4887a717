#include <windows.h>
#include <commdlg.h>

#include <vector>

#include "custom/file_chooser.h"

namespace kivora {
namespace {

// The dialog's file-name buffer; long paths beyond it are refused by the dialog.
constexpr size_t kFileNameCapacity = 32768;

using OpenFileDialog = BOOL(WINAPI*)(OPENFILENAMEW*);

// The dialog's library, loaded at the first dialog rather than at start: it
// brings the print spooler along (under Wine, the CUPS client too), which
// nothing else here needs. It stays loaded for the rest of the process.
OpenFileDialog OpenFileDialogFunction() {
  static const OpenFileDialog function = []() -> OpenFileDialog {
    HMODULE library = LoadLibraryW(L"comdlg32.dll");
    if (!library) return nullptr;
    return reinterpret_cast<OpenFileDialog>(reinterpret_cast<void*>(GetProcAddress(library, "GetOpenFileNameW")));
  }();
  return function;
}

}  // namespace

std::wstring DialogFilterList(const std::wstring& filter) {
  std::wstring list = filter;
  for (wchar_t& c : list) {
    if (c == L'|') c = L'\0';
  }
  list.push_back(L'\0');
  list.push_back(L'\0');
  return list;
}

bool SystemFileChooser::Show(FileDialogState& state) {
  std::vector<wchar_t> fileName(kFileNameCapacity, L'\0');
  state.fileName.copy(fileName.data(), std::min(state.fileName.size(), kFileNameCapacity - 1));
  std::wstring filters = DialogFilterList(state.filter);

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  // Owned by the window the user is working in, so that window takes no input
  // (no other button can start a second dialog) until this one closes.
  dialog.hwndOwner = GetActiveWindow();
  dialog.lpstrFilter = filters.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = fileName.data();
  dialog.nMaxFile = static_cast<DWORD>(fileName.size());
  dialog.lpstrInitialDir = state.initialFolder.empty() ? nullptr : state.initialFolder.c_str();
  dialog.lpstrTitle = state.title.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  const OpenFileDialog openFileDialog = OpenFileDialogFunction();
  if (!openFileDialog || !openFileDialog(&dialog)) return false;
  state.fileName = fileName.data();
  return true;
}

}  // namespace kivora
