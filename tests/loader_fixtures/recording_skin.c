/* Stands in for the skin library: records each call of its attach export in the
   process environment, where the test reads it back. */
#include <stdio.h>
#include <windows.h>

static int calls;

__declspec(dllexport) int SkinH_AttachRes(const unsigned char* skin, int skinSize, HWND window, int options,
                                          int reserved) {
  char record[160];
  ++calls;
  snprintf(record, sizeof record, "calls=%d skin=%llx size=%d window=%llx options=%d reserved=%d", calls,
           (unsigned long long)(UINT_PTR)skin, skinSize, (unsigned long long)(UINT_PTR)window, options, reserved);
  SetEnvironmentVariableA("KIVORA_RECORDED_ATTACH", record);
  return 1;
}
