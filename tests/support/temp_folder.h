// A fresh folder under the temporary directory, removed with everything in it.
#pragma once

#include <string>

namespace kivora::testing {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  // Ends in a backslash.
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
};

// Removes a folder and everything in it; quiet when it does not exist.
void RemoveTree(const std::wstring& folder);

// Reads or writes a whole file as bytes.
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);

}  // namespace kivora::testing
