# Every test again, built with clang under AddressSanitizer (leak detection
# on) and UndefinedBehaviorSanitizer, any finding fatal. The library is built
# with ZAND_STL_PORTABLE, so the plain C++ that stands in for compiler
# builtins elsewhere, and the stream access that leaves every line to fgets,
# are compiled and tested on every run.
set -euo pipefail
source scripts/common.sh
# The benchmarks are built too, and run once each at their smallest size.
ensure_packages cmake ninja-build "${clang_packages[@]}" libgtest-dev libgmock-dev libbenchmark-dev libabsl-dev
build_and_test_preset asan
