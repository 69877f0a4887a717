#include "app/catalogue_extraction.h"

#include <windows.h>
#include <shlwapi.h>

#include "app/data_folder.h"
#include "base/whole_file.h"
#include "assets/catalogue.h"

namespace kivora {

void ExtractCatalogue(const std::wstring& dataFolder, const FileWriter& write) {
  const std::wstring musicFolder = dataFolder + std::wstring(kMusicFolderName);
  // Only the directory attribute counts: a file of that name does not stop the extraction.
  if (PathIsDirectoryW(musicFolder.c_str()) == FILE_ATTRIBUTE_DIRECTORY) return;
  CreateDirectoryW(musicFolder.c_str(), nullptr);
  for (const CatalogueEntry& entry : Catalogue()) {
    write(dataFolder + std::wstring(entry.relativePath), BodyOf(entry));
  }
}

}  // namespace kivora
