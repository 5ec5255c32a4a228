# Every test again, built with clang under ThreadSanitizer, any report
# fatal. The thread test (tests/threads_test.cpp) runs the model-checking
# drivers on four threads at once for five seconds here, rather than the
# quarter of a second it takes in the other legs.
set -euo pipefail
source scripts/common.sh
# The benchmarks are built too, and run once each at their smallest size.
ensure_packages cmake ninja-build "${clang_packages[@]}" libgtest-dev libgmock-dev libbenchmark-dev libabsl-dev
build_and_test_preset tsan
