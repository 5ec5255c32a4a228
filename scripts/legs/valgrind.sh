# The Linux debug test programs again, each run whole under valgrind's
# memcheck: invalid accesses, uses of uninitialised bytes and definite or
# indirect leaks fail the leg. Unlike the asan leg it also covers the
# allocation-failure tests, whose replaced operator new memcheck must leave
# alone (somalloc=nouserintercepts). Reuses build/debug of the linux leg.
set -euo pipefail
source scripts/common.sh
# What the linux leg's build needs, and valgrind.
ensure_packages cmake ninja-build g++ libgtest-dev libgmock-dev binutils \
  libbenchmark-dev libabsl-dev valgrind
cmake --preset debug >/dev/null
cmake --build --preset debug

programs=(build/debug/tests/zand_stl_tests
  build/debug/tests/zand_stl_internal_tests
  build/debug/tests/zand_stl_alloc_tests)
for program in "${programs[@]}"; do
  echo "== valgrind $program"
  valgrind --quiet --error-exitcode=1 --leak-check=full \
    --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect \
    --soname-synonyms=somalloc=nouserintercepts \
    "$program" --gtest_brief=1
done
