# The library and every test cross-built with Debian's cross compilers for
# two other Linux machines and run under qemu-user, through the toolchain's
# emulator: 64-bit ARM (little-endian) and IBM Z (big-endian), the latter
# twice, with the compiler's builtins and with the plain C++ of
# ZAND_STL_PORTABLE, so that the byte order of every word-at-a-time key and
# string function meets a big-endian machine in both forms.
set -euo pipefail
source scripts/common.sh
ensure_packages cmake ninja-build googletest qemu-user binutils \
  g++-aarch64-linux-gnu g++-s390x-linux-gnu

for preset in aarch64 s390x s390x-portable; do
  echo "== $preset"
  build_and_test_preset "$preset"
done
