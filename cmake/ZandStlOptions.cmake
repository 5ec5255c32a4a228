# Compiler and linker settings shared by every target of the project.
include(CheckLinkerFlag)
include(GNUInstallDirs)

set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

# One warning list for all targets, in the compiler's own dialect. Microsoft's
# compiler (and clang-cl) also gets standard conformance (/permissive-), C++
# exception semantics (/EHsc) and UTF-8 sources and strings (/utf-8).
if(MSVC)
  set(ZAND_STL_WARNINGS /W4 /permissive- /EHsc /utf-8)
  set(ZAND_STL_WERROR_FLAG /WX)
else()
  set(ZAND_STL_WARNINGS
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wold-style-cast -Wcast-qual -Woverloaded-virtual
    -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
  set(ZAND_STL_WERROR_FLAG -Werror)
endif()

# Callers and the DLL pass std::string and other standard objects to each
# other, so all of them must use the one shared C runtime, in the same
# flavour: /MD for Release, /MDd for Debug (MSVC only).
set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>DLL")

if(ZAND_STL_SANITIZE AND MSVC)
  message(FATAL_ERROR "ZAND_STL_SANITIZE needs g++ or clang: use the asan preset")
endif()
if(ZAND_STL_SANITIZE)
  # ThreadSanitizer and AddressSanitizer (with its leak checker) each claim
  # the shadow memory and the allocator for themselves.
  if("thread" IN_LIST ZAND_STL_SANITIZERS AND
     ("address" IN_LIST ZAND_STL_SANITIZERS OR "leak" IN_LIST ZAND_STL_SANITIZERS))
    message(FATAL_ERROR "ZAND_STL_SANITIZERS: thread cannot be combined with "
      "address or leak: use the asan and tsan presets")
  endif()
  list(JOIN ZAND_STL_SANITIZERS "," sanitizers)
  set(ZAND_STL_SANITIZER_FLAGS
    -fsanitize=${sanitizers} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${ZAND_STL_SANITIZER_FLAGS})
  add_link_options(${ZAND_STL_SANITIZER_FLAGS})
endif()

if(MINGW)
  # The DLL and every program link the C++ and GCC runtimes statically, so
  # they import only system DLLs and run without MinGW's DLLs beside them.
  # Each module then has its own copy of libstdc++, yet exceptions,
  # std::string and std::length_error still cross the DLL boundary:
  # - 64-bit Windows unwinds through the SEH tables of each module, walked by
  #   the system, not through one shared libgcc unwinder;
  # - every module allocates from the one heap of the system C runtime
  #   (msvcrt), so a string built in the DLL may be freed by the program;
  # - libstdc++ on Windows compares type information by name, so a catch in
  #   the program matches a std::length_error thrown in the DLL.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# The Windows loader looks for a program's DLLs beside it: the DLL and the
# test programs share one folder.
if(WIN32 AND PROJECT_IS_TOP_LEVEL AND NOT DEFINED CMAKE_RUNTIME_OUTPUT_DIRECTORY)
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/bin")
endif()

function(zand_stl_configure_target target)
  target_compile_options(${target} PRIVATE ${ZAND_STL_WARNINGS})
  if(ZAND_STL_WERROR)
    target_compile_options(${target} PRIVATE ${ZAND_STL_WERROR_FLAG})
  endif()
  # Microsoft's compiler hides everything not marked dllexport anyway.
  if(NOT MSVC)
    set_target_properties(${target} PROPERTIES
      CXX_VISIBILITY_PRESET hidden
      VISIBILITY_INLINES_HIDDEN ON)
  endif()
endfunction()

# The shared library exports exactly its interface. Hidden visibility keeps
# internal code out; on ELF the standard-library templates the library
# instantiates would still be exported with default visibility, so a version
# script lists what may be global, where the linker takes one.
function(zand_stl_configure_shared_library target)
  if(NOT WIN32)
    set(script "${PROJECT_SOURCE_DIR}/cmake/zand_stl.map")
    check_linker_flag(CXX "LINKER:--version-script=${script}"
      ZAND_STL_LINKER_TAKES_VERSION_SCRIPT)
    check_linker_flag(CXX "LINKER:--no-undefined" ZAND_STL_LINKER_TAKES_NO_UNDEFINED)
    if(ZAND_STL_LINKER_TAKES_VERSION_SCRIPT)
      target_link_options(${target} PRIVATE "LINKER:--version-script=${script}")
      set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${script}")
    endif()
    # Sanitized shared libraries leave the runtime's symbols to the program.
    if(ZAND_STL_LINKER_TAKES_NO_UNDEFINED AND NOT ZAND_STL_SANITIZE)
      target_link_options(${target} PRIVATE "LINKER:--no-undefined")
    endif()
  else()
    # zand_stl.dll, with its import library (libzand_stl.dll.a with MinGW,
    # zand_stl.lib with MSVC) beside it. Only what carries
    # __declspec(dllexport) is exported: with any such symbol present, the
    # GNU linker exports nothing automatically.
    get_target_property(runtime_dir ${target} RUNTIME_OUTPUT_DIRECTORY)
    set_target_properties(${target} PROPERTIES PREFIX "")
    if(runtime_dir)
      set_target_properties(${target} PROPERTIES ARCHIVE_OUTPUT_DIRECTORY "${runtime_dir}")
    endif()
    # MSVC's Debug and Release standard libraries lay out std::string and
    # the containers differently, so the Debug build is a DLL of its own,
    # zand_stld.dll, for Debug callers.
    if(MSVC)
      set_target_properties(${target} PROPERTIES DEBUG_POSTFIX d)
    endif()
  endif()
endfunction()
