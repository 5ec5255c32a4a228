// The entry routine, called directly as the loader would call it: it reports
// success for every reason, also when the loader refuses to turn the thread
// notifications off.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);

namespace {

TEST(DllMain, SucceedsForEveryReasonWhateverTheLoaderAnswers) {
  // This program's module carries thread-local storage, as every MinGW-built
  // module does, so the loader refuses the request for it; a null handle
  // names no module at all. Neither may fail a load.
  const HINSTANCE own = GetModuleHandleW(nullptr);
  ASSERT_NE(own, nullptr);
  for (HINSTANCE module : {own, HINSTANCE{nullptr}}) {
    for (DWORD reason : {0UL, 1UL, 2UL, 3UL, 0xFFFFFFFFUL}) {
      SCOPED_TRACE(reason);
      EXPECT_EQ(DllMain(module, reason, nullptr), TRUE);
    }
  }
}

}  // namespace
