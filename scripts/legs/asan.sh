# Every test again, built with clang under AddressSanitizer (leak detection
# on) and UndefinedBehaviorSanitizer, any finding fatal.
set -euo pipefail
source scripts/common.sh
ensure_packages cmake ninja-build clang libclang-rt-14-dev libgtest-dev libgmock-dev
build_and_test_preset asan
