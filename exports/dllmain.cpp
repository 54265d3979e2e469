// Entry point of Vexal.dll: initialise on process attach, succeed always.
#include <float.h>
#include <windows.h>

#include "core/numeric.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    // 64-bit significand, round to nearest; exception masks unchanged.
    _controlfp(_PC_64 | _RC_NEAR, _MCW_PC | _MCW_RC);
    vexal::initialise();
  }
  return TRUE;
}
