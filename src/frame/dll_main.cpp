// The entry routine of zand_stl.dll, called by the Windows loader when a
// process loads or unloads the library. It only turns off the per-thread
// notifications: the library has no state to set up or tear down.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// C linkage: the runtime's DLL start-up code calls DllMain by that name.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason,
                               LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    // The answer is not examined: a loader that refuses (as it does for a
    // DLL with thread-local storage) leaves the library working all the
    // same, since no thread notification does anything here.
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}
