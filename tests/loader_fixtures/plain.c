/* A small DLL for the in-memory loader: exports, a stored address that moves
   with the image, and a count of process attaches. */
#include <windows.h>

static int attaches;
static int value = 42;
static int* volatile stored = &value; /* needs a 64-bit relocation when moved */

__declspec(dllexport) int Add(int a, int b) { return a + b; }
__declspec(dllexport) int ReadThroughStoredAddress(void) { return *stored; }
__declspec(dllexport) int AttachCount(void) { return attaches; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) ++attaches;
  return TRUE;
}
