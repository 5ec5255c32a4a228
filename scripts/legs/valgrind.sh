# The Linux debug test programs again, each run whole under valgrind's
# memcheck: invalid accesses, uses of uninitialised bytes and definite or
# indirect leaks fail the leg. Unlike the asan leg it also covers the
# allocation-failure tests, whose replaced operator new memcheck must leave
# alone (somalloc=nouserintercepts). Reuses build/debug of the linux leg.
set -euo pipefail
source scripts/common.sh
# What the linux leg's build needs, valgrind, and python3 to read CTest's
# list of tests.
ensure_packages cmake ninja-build g++ libgtest-dev libgmock-dev binutils \
  libbenchmark-dev libabsl-dev valgrind python3
cmake --preset debug >/dev/null
cmake --build --preset debug

# The test programs: the executables in build/debug/tests that CTest's tests
# run, each named once.
mapfile -t programs < <(ctest --preset debug --show-only=json-v1 | python3 -c '
import json, os, sys
tests = os.path.realpath("build/debug/tests")
commands = [test["command"][0] for test in json.load(sys.stdin)["tests"]]
print(*dict.fromkeys(c for c in commands
                     if os.path.dirname(os.path.realpath(c)) == tests), sep="\n")')
((${#programs[@]})) || { echo "valgrind: CTest runs no test program" >&2; exit 1; }
for program in "${programs[@]}"; do
  echo "== valgrind $program"
  valgrind --quiet --error-exitcode=1 --leak-check=full \
    --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect \
    --soname-synonyms=somalloc=nouserintercepts \
    "$program" --gtest_brief=1
done
