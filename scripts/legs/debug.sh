# The debuggers' views (debugger/): GDB and LLDB, each with the project's
# printers, show the lists, maps and streams of a program that first writes
# what they must show, some of them broken by the debugger, and its maps
# again through the library stripped of its debug information; and the
# Visual Studio natvis file is held to the headers. Reuses build/debug of
# the linux leg, building only the program.
set -euo pipefail
source scripts/common.sh
# What configuring the debug preset needs, the debuggers, objcopy, and
# xmllint.
ensure_packages cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev \
  libabsl-dev gdb lldb binutils libxml2-utils
cmake --preset debug >/dev/null
cmake --build --preset debug --target zand_stl_views_program
ctest --preset debug -L debugger -j "$(nproc)"
# Each view must have been checked, not left out for a missing tool.
[[ $(ctest --preset debug -L debugger -N | sed -n 's/^Total Tests: //p') == 3 ]] ||
  { echo "debug: a debugger test is missing" >&2; exit 1; }
