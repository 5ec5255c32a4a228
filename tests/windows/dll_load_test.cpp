// zand_stl.dll as the Windows loader sees it: found by name beside the
// program, its exports bound late by their decorated names, threads started
// and ended while it is loaded, unloaded and loaded again. This program does
// not link the library, so FreeLibrary really unloads it.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "zand_stl/zand_obj_list.h"  // for the size of a list only

namespace {

constexpr char kDll[] = "zand_stl.dll";

// Exports of the library bound by name. On 64-bit Windows a member function
// takes its object as the first argument, as a free function would; the
// list stores pointers without looking at them, so any address will do.
struct Exports {
  using ListConstructor = void (*)(void* list);
  using ListDestructor = void (*)(void* list);
  using AddAtTail = void (*)(void* list, void* obj);
  using GetHead = void* (*)(const void* list);
  using Size = int (*)(const void* list);
  using ToUpperCase = std::string (*)(const std::string& text);

  explicit Exports(HMODULE module)
      : construct(find<ListConstructor>(module, "_ZN13ZAND_OBJ_LISTC1Ev")),
        destroy(find<ListDestructor>(module, "_ZN13ZAND_OBJ_LISTD1Ev")),
        add_at_tail(find<AddAtTail>(
            module, "_ZN13ZAND_OBJ_LIST11add_at_tailEP8ZAND_OBJ")),
        get_head(find<GetHead>(module, "_ZNK13ZAND_OBJ_LIST8get_headEv")),
        size(find<Size>(module, "_ZNK13ZAND_OBJ_LIST4sizeEv")),
        to_upper_case(find<ToUpperCase>(
            module,
            "_Z13to_upper_caseRKNSt7__cxx1112basic_stringIcSt11char_"
            "traitsIcESaIcEEE")) {}

  bool complete() const {
    return construct && destroy && add_at_tail && get_head && size &&
           to_upper_case;
  }

  template <typename Function>
  static Function find(HMODULE module, const char* name) {
    // Through void (*)(), which converts to any function type unwarned.
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  }

  ListConstructor construct;
  ListDestructor destroy;
  AddAtTail add_at_tail;
  GetHead get_head;
  Size size;
  ToUpperCase to_upper_case;
};

// Builds a list and a string through the bound exports; true when both
// behave. The string is made in the library and freed here.
bool library_works(const Exports& lib) {
  int objs[3] = {};
  alignas(ZAND_OBJ_LIST) unsigned char list[sizeof(ZAND_OBJ_LIST)];
  lib.construct(list);
  for (int& obj : objs) {
    lib.add_at_tail(list, &obj);
  }
  const bool list_ok = lib.size(list) == 3 && lib.get_head(list) == &objs[0];
  lib.destroy(list);
  return list_ok && lib.to_upper_case("Mixed case, 42!") == "MIXED CASE, 42!";
}

TEST(DllLoad, LoadsBesideTheProgramAndBindsByDecoratedName) {
  ASSERT_EQ(GetModuleHandleA(kDll), nullptr);  // not linked, not yet loaded
  const HMODULE module = LoadLibraryA(kDll);
  ASSERT_NE(module, nullptr) << "error " << GetLastError();
  const Exports lib(module);
  ASSERT_TRUE(lib.complete());
  EXPECT_TRUE(library_works(lib));
  EXPECT_TRUE(FreeLibrary(module));
}

TEST(DllLoad, ThreadsStartAndEndWhileItIsLoaded) {
  const HMODULE module = LoadLibraryA(kDll);
  ASSERT_NE(module, nullptr) << "error " << GetLastError();
  const Exports lib(module);
  ASSERT_TRUE(lib.complete());
  // Two waves: threads that use the library on objects of their own, then
  // threads that never call it; the library serves on after each.
  for (bool use_library : {true, false}) {
    std::vector<char> worked(4, 0);
    std::vector<std::thread> threads;
    for (char& flag : worked) {
      threads.emplace_back([&lib, &flag, use_library] {
        flag = static_cast<char>(!use_library || library_works(lib));
      });
    }
    for (std::thread& thread : threads) {
      thread.join();
    }
    EXPECT_EQ(worked, std::vector<char>(4, 1));
    EXPECT_TRUE(library_works(lib));
  }
  EXPECT_TRUE(FreeLibrary(module));
}

TEST(DllLoad, UnloadsCompletelyAndLoadsAgain) {
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    const HMODULE module = LoadLibraryA(kDll);
    ASSERT_NE(module, nullptr) << "error " << GetLastError();
    const Exports lib(module);
    ASSERT_TRUE(lib.complete());
    EXPECT_TRUE(library_works(lib));
    ASSERT_TRUE(FreeLibrary(module));
    EXPECT_EQ(GetModuleHandleA(kDll), nullptr);
  }
}

}  // namespace
