# The fuzz corpus's inputs are scripts that the drivers decode through their
# operation tables, so editing a driver changes what every committed input
# means. fuzz/corpus/FORMATS records, per target, a fingerprint of the
# driver sources its corpus was made with; this script checks them, or with
# -DUPDATE=<target> records the current one. scripts/fuzz-corpus does that
# after it has regenerated the corpus; a change that leaves every input
# meaning what it meant (a comment, a check) needs the record alone.
#   cmake -DROOT=<source dir> [-DUPDATE=<target>] -P cmake/corpus_formats.cmake

cmake_minimum_required(VERSION 3.25)

# The sources that decide what an input of each target means.
set(fuzz_obj_list_sources tests/support/script.h tests/containers/list_script.h)
set(fuzz_obj_map_sources tests/support/script.h tests/containers/map_script.h)
set(fuzz_string_utils_sources tests/support/string_model.h)
set(fuzz_read_string_sources tests/support/file_model.h)
set(targets fuzz_obj_list fuzz_obj_map fuzz_string_utils fuzz_read_string)

# SHA-256 of the target's sources, with line ends normalised so that a
# checkout with CRLF line ends gives the same.
function(fingerprint target out)
  set(text "")
  foreach(source IN LISTS ${target}_sources)
    file(READ "${ROOT}/${source}" content)
    string(REPLACE "\r" "" content "${content}")
    string(APPEND text "${source}\n${content}")
  endforeach()
  string(SHA256 hash "${text}")
  set(${out} "${hash}" PARENT_SCOPE)
endfunction()

set(formats "${ROOT}/fuzz/corpus/FORMATS")
set(recorded "")
if(EXISTS "${formats}")
  file(STRINGS "${formats}" recorded REGEX "^fuzz_")
endif()

if(DEFINED UPDATE)
  set(lines "# target fingerprint of its driver sources (cmake/corpus_formats.cmake)")
  foreach(target IN LISTS targets)
    if(target STREQUAL UPDATE)
      fingerprint(${target} hash)
      list(APPEND lines "${target} ${hash}")
    else()
      set(line ${recorded})
      list(FILTER line INCLUDE REGEX "^${target} ")
      list(APPEND lines ${line})
    endif()
  endforeach()
  list(JOIN lines "\n" text)
  file(WRITE "${formats}" "${text}\n")
  return()
endif()

set(stale "")
foreach(target IN LISTS targets)
  fingerprint(${target} hash)
  if(NOT "${target} ${hash}" IN_LIST recorded)
    list(APPEND stale ${target})
  endif()
endforeach()
if(stale)
  list(JOIN stale " " stale)
  message(FATAL_ERROR
    "The drivers of ${stale} changed since their corpora in fuzz/corpus were "
    "made, so the committed inputs may now mean other scripts. Regenerate "
    "them: scripts/fuzz-corpus ${stale}")
endif()
message(STATUS "fuzz/corpus: every corpus matches its driver")
