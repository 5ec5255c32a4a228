# Linux debug build with g++ and every test, the export check included.
set -euo pipefail
source scripts/common.sh
ensure_packages cmake ninja-build g++ libgtest-dev libgmock-dev binutils
build_and_test_preset debug
