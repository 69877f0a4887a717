#include "app/gdiplus_session.h"

#include <windows.h>
#include <objidl.h>  // GDI+ headers need COM types that the lean windows.h leaves out
#include <gdiplus.h>

#include "base/late_library.h"

namespace kivora {

std::uintptr_t StartGdiplusOnce() {
  // Loaded at the first start, not imported: nothing before the window shows
  // needs it, and an imported library is loaded before the program's first line.
  // Never freed, as GDI+ is never shut down.
  static LateLibrary* const library = new LateLibrary(L"gdiplus.dll");
  static ULONG_PTR token = 0;
  if (token == 0) {
    if (auto* startup = library->Find<decltype(Gdiplus::GdiplusStartup)>("GdiplusStartup")) {
      Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, background thread, external codecs
      startup(&token, &input, nullptr);
    }
  }
  return token;
}

}  // namespace kivora
