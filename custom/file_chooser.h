// The open-file dialog shared by the custom slots. Its properties live here and
// stay between uses; showing it goes through an interface so tests can answer it.
#pragma once

#include <string>

#include "base/late_library.h"

namespace kivora {

struct FileDialogState {
  std::wstring title = L"选择MP3";
  std::wstring filter = L"*.MP3|*.mp3";  // description|pattern pairs
  std::wstring initialFolder;
  std::wstring fileName;  // after a confirmed choice: the chosen file's full path
};

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // Shows the dialog modally; true when the user confirmed a file, whose full path
  // is then in state.fileName.
  virtual bool Show(FileDialogState& state) = 0;
};

// The system's open-file dialog: the file and its folder must exist, no read-only
// box, the first filter entry selected, no default extension. The dialog's library
// is loaded when the dialog is first shown.
class SystemFileChooser final : public FileChooser {
 public:
  bool Show(FileDialogState& state) override;

 private:
  LateLibrary dialogs_{L"comdlg32.dll"};
};

// "desc|pattern|desc|pattern" as the dialog wants it: NUL-separated, double-NUL ended.
std::wstring DialogFilterList(const std::wstring& filter);

}  // namespace kivora
