# The fuzz corpus's inputs are scripts that the drivers decode through their
# operation tables, so editing a driver changes what every committed input
# means. fuzz/corpus/FORMATS records, per target, a fingerprint of the
# driver sources its corpus was made with; this script checks them, or with
# -DUPDATE=<target> records the current one. scripts/fuzz-corpus does that
# after it has regenerated the corpus; a change that leaves every input
# meaning what it meant (a check, a model) needs the record alone.
#   cmake -DROOT=<source dir> [-DUPDATE=<target>] -P cmake/corpus_formats.cmake
#
# Each fuzz/fuzz_<name>.cpp is a target, and names the sources that decide
# what its inputs mean on one line of its own, paths from the source dir:
#   // Corpus format: tests/support/script.h tests/support/list_script.h
# The fingerprint covers their code, not their comments, blank lines or
# layout. A source that marks regions, from a line `// corpus format {` to
# one `// corpus format }`, counts with those regions alone.

cmake_minimum_required(VERSION 3.25)

get_filename_component(ROOT "${ROOT}" ABSOLUTE)
file(GLOB targets RELATIVE "${ROOT}/fuzz" "${ROOT}/fuzz/fuzz_*.cpp")
list(TRANSFORM targets REPLACE "[.]cpp$" "")
if(NOT targets)
  message(FATAL_ERROR "no fuzz targets in ${ROOT}/fuzz")
endif()

# The sources the target's line names.
function(format_sources target out)
  file(STRINGS "${ROOT}/fuzz/${target}.cpp" line REGEX "^// Corpus format:")
  list(LENGTH line count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "fuzz/${target}.cpp must name the sources that decide "
      "what its inputs mean on one line: // Corpus format: <path>...")
  endif()
  string(REGEX REPLACE "^// Corpus format:" "" line "${line}")
  string(REGEX MATCHALL "[^ \t\r]+" sources "${line}")
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

# The text of the marked regions of `content`, the text of `source`, or all
# of it if none is marked.
function(marked_regions source content out)
  string(FIND "${content}" "// corpus format {" begin)
  if(begin EQUAL -1)
    set(${out} "${content}" PARENT_SCOPE)
    return()
  endif()
  set(regions "")
  while(NOT begin EQUAL -1)
    string(SUBSTRING "${content}" ${begin} -1 content)
    string(FIND "${content}" "// corpus format }" end)
    if(end EQUAL -1)
      message(FATAL_ERROR "${source}: a `// corpus format {` without its `// corpus format }`")
    endif()
    string(SUBSTRING "${content}" 0 ${end} region)
    string(APPEND regions "${region}\n")
    string(SUBSTRING "${content}" ${end} -1 content)
    string(FIND "${content}" "// corpus format {" begin)
  endwhile()
  set(${out} "${regions}" PARENT_SCOPE)
endfunction()

# C++ `text` without its comments, each run of white space (line ends
# included) made one space. String and character literals are kept as they
# are, so that a "//" inside one starts no comment; a digit separator (the
# quote in 1'000) starts no literal.
function(code_only text out)
  set(code "")
  set(run "")  # code since the last literal, comments made spaces
  while(NOT text STREQUAL "")
    if(text MATCHES "^([0-9]'[0-9A-Fa-f]|[^\"'/])+")  # 1'000 is a number
      set(token "${CMAKE_MATCH_0}")
      string(APPEND run "${token}")
    elseif(text MATCHES "^(//[^\n]*|/[*]([^*]|[*]+[^*/])*[*]+/)")
      set(token "${CMAKE_MATCH_0}")
      string(APPEND run " ")
    elseif(text MATCHES "^(\"([^\"\\\n]|\\\\.)*\"|'([^'\\\n]|\\\\.)*')")
      set(token "${CMAKE_MATCH_0}")
      string(REGEX REPLACE "[ \t\n]+" " " run "${run}")
      string(APPEND code "${run}${token}")
      set(run "")
    else()  # a slash that starts no comment, or a quote no literal
      string(SUBSTRING "${text}" 0 1 token)
      string(APPEND run "${token}")
    endif()
    string(LENGTH "${token}" length)
    string(SUBSTRING "${text}" ${length} -1 text)
  endwhile()
  string(REGEX REPLACE "[ \t\n]+" " " run "${run}")
  string(APPEND code "${run}")
  string(STRIP "${code}" code)
  set(${out} "${code}" PARENT_SCOPE)
endfunction()

# SHA-256 of the code of the target's sources, in the order named. Neither
# a source's path nor CRLF line ends count, so that a driver may move, and
# a checkout with CRLF line ends gives the same.
function(fingerprint target out)
  format_sources(${target} sources)
  set(text "")
  foreach(source IN LISTS sources)
    if(NOT EXISTS "${ROOT}/${source}")
      message(FATAL_ERROR "fuzz/${target}.cpp names ${source}, which does not exist")
    endif()
    file(READ "${ROOT}/${source}" content)
    string(REPLACE "\r" "" content "${content}")
    marked_regions(${source} "${content}" content)
    code_only("${content}" content)
    string(APPEND text "${content}\n")
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
  if(NOT UPDATE IN_LIST targets)
    message(FATAL_ERROR "no fuzz target ${UPDATE}: no fuzz/${UPDATE}.cpp")
  endif()
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
