#include "app/data_folder.h"

#include <windows.h>
#include <shlobj.h>

namespace kivora {

std::wstring DataFolderFrom(std::wstring_view documentsFolder) {
  std::wstring folder(documentsFolder);
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder + std::wstring(kDataFolderName);
}

std::wstring DocumentsFolder() {
  wchar_t path[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_PERSONAL, FALSE)) return {};
  return path;
}

}  // namespace kivora
