// zand_stl.dll as the Windows loader sees it: found by name beside the
// program, an export bound late by its decorated name, threads started and
// ended while it is loaded, unloaded and loaded again. This program does not
// link the library, so FreeLibrary really unloads it.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

constexpr char kDll[] = ZAND_STL_DLL_NAME;  // zand_stld.dll for MSVC's Debug

// std::string to_upper_case(const std::string&), as the compiler decorates it.
#if defined(_MSC_VER)
constexpr char kToUpperCase[] =
    "?to_upper_case@@YA?AV?$basic_string@DU?$char_traits@D@std@@V?$allocator@"
    "D@2@@std@@AEBV12@@Z";
#else
constexpr char kToUpperCase[] =
    "_Z13to_upper_caseRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE";
#endif

using ToUpperCase = std::string (*)(const std::string& text);

// The string is made in the library and freed here.
bool library_works(ToUpperCase to_upper_case) {
  return to_upper_case("Mixed case, 42!") == "MIXED CASE, 42!";
}

TEST(DllLoad, LoadsBindsServesThreadsUnloadsAndLoadsAgain) {
  ASSERT_EQ(GetModuleHandleA(kDll), nullptr);  // not linked, not yet loaded
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    const HMODULE module = LoadLibraryA(kDll);
    ASSERT_NE(module, nullptr) << "error " << GetLastError();
    // Through void (*)(), which converts to any function type unwarned.
    const auto to_upper_case = reinterpret_cast<ToUpperCase>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, kToUpperCase)));
    ASSERT_NE(to_upper_case, nullptr);
    EXPECT_TRUE(library_works(to_upper_case));
    std::vector<char> worked(4, 0);
    std::vector<std::thread> threads;
    for (char& flag : worked) {
      threads.emplace_back([to_upper_case, &flag] {
        flag = static_cast<char>(library_works(to_upper_case));
      });
    }
    for (std::thread& thread : threads) {
      thread.join();
    }
    EXPECT_EQ(worked, std::vector<char>(4, 1));
    EXPECT_TRUE(library_works(to_upper_case));  // after the threads ended
    ASSERT_TRUE(FreeLibrary(module));
    EXPECT_EQ(GetModuleHandleA(kDll), nullptr);
  }
}

}  // namespace
