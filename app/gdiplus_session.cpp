#include "app/gdiplus_session.h"

#include <windows.h>
#include <objidl.h>  // GDI+ headers need COM types that the lean windows.h leaves out
#include <gdiplus.h>

namespace kivora {

std::uintptr_t StartGdiplusOnce() {
  static ULONG_PTR token = 0;
  if (token == 0) {
    Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, background thread, external codecs
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
  }
  return token;
}

}  // namespace kivora
