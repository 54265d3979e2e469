// Entry point of Vexal.dll and Vexal64.dll: initialise on process attach,
// succeed always.
#include <float.h>
#include <windows.h>

#include "core/numeric.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
#if defined(__i386__)
    // 64-bit significand, round to nearest; exception masks unchanged.
    _controlfp(_PC_64 | _RC_NEAR, _MCW_PC | _MCW_RC);
#else
    // x86-64 computes doubles in SSE2 and has no precision field to set.
    _controlfp(_RC_NEAR, _MCW_RC);
#endif
    vexal::initialise();
  }
  return TRUE;
}
