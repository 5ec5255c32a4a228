# Linux debug build with g++ and every test, the export check included.
set -euo pipefail
source scripts/common.sh
# The benchmarks are built too, and run once each at their smallest size.
ensure_packages cmake ninja-build g++ libgtest-dev libgmock-dev binutils libbenchmark-dev libabsl-dev
build_and_test_preset debug
