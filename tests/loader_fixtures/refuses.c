/* A DLL whose entry point refuses the process attach. */
#include <windows.h>

__declspec(dllexport) int Unreachable(void) { return 1; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  return reason != DLL_PROCESS_ATTACH;
}
