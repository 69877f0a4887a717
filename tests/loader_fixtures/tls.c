/* A DLL with a TLS callback, which must run before its entry point. */
#include <windows.h>

static int callbackAttaches;
static int callbackRanBeforeEntry;

static void NTAPI OnTls(PVOID instance, DWORD reason, PVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) ++callbackAttaches;
}

/* The runtime's TLS directory lists every pointer placed between .CRT$XLA and .CRT$XLZ. */
__attribute__((section(".CRT$XLF"), used)) const PIMAGE_TLS_CALLBACK kivoraTlsCallback = OnTls;

__declspec(dllexport) int TlsCallbackAttaches(void) { return callbackAttaches; }
__declspec(dllexport) int TlsCallbackRanBeforeEntry(void) { return callbackRanBeforeEntry; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) callbackRanBeforeEntry = callbackAttaches > 0;
  return TRUE;
}
