// The sixty built-in sounds: their relative paths under the Data folder, the
// button that plays each one, and the MP3 body carried inside the program.
#pragma once

#include <span>
#include <string_view>

namespace kivora {

struct CatalogueEntry {
  int number;                       // 1..60, also the order of extraction
  std::wstring_view relativePath;   // "音乐\NN<name>.mp3"
  std::wstring_view buttonName;     // the layout name of the button that plays it
};

inline constexpr int kCatalogueSize = 60;
inline constexpr int kSoundsPerPage = 20;

std::span<const CatalogueEntry> Catalogue();

// "音乐\01群众笑声.mp3" -> "群众笑声": the caption of the entry's button.
std::wstring_view CaptionOf(const CatalogueEntry& entry);

// The tab page (0..2) that holds the entry's button.
inline int PageOf(const CatalogueEntry& entry) { return (entry.number - 1) / kSoundsPerPage; }

// The compiled-in MP3 body of the entry.
std::span<const unsigned char> BodyOf(const CatalogueEntry& entry);

}  // namespace kivora
