#include "app/process_start.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

namespace kivora {

void StartProcess() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
}

}  // namespace kivora
