# Compiler and linker settings shared by every target of the project.
include(GNUInstallDirs)

set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

# One warning list for all targets.
set(ZAND_STL_WARNINGS
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wold-style-cast -Wcast-qual -Woverloaded-virtual
  -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)

if(ZAND_STL_SANITIZE)
  set(ZAND_STL_SANITIZER_FLAGS
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${ZAND_STL_SANITIZER_FLAGS})
  add_link_options(${ZAND_STL_SANITIZER_FLAGS})
endif()

function(zand_stl_configure_target target)
  target_compile_options(${target} PRIVATE ${ZAND_STL_WARNINGS})
  if(ZAND_STL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# The shared library exports exactly its interface. Hidden visibility keeps
# internal code out; on ELF the standard-library templates the library
# instantiates would still be exported with default visibility, so a version
# script lists what may be global.
function(zand_stl_configure_shared_library target)
  if(NOT WIN32)
    set(script "${PROJECT_SOURCE_DIR}/cmake/zand_stl.map")
    target_link_options(${target} PRIVATE "LINKER:--version-script=${script}")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${script}")
    # Sanitized shared libraries leave the runtime's symbols to the program.
    if(NOT ZAND_STL_SANITIZE)
      target_link_options(${target} PRIVATE "LINKER:--no-undefined")
    endif()
  endif()
endfunction()
