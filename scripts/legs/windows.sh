# The Windows DLL, cross-built with MinGW-w64, and every test under Wine.
set -euo pipefail
source scripts/common.sh
ensure_packages cmake ninja-build g++-mingw-w64-x86-64-posix \
  binutils-mingw-w64-x86-64 googletest wine wine64

# The prefix the toolchain's emulator (scripts/run_under_wine.sh) runs in.
build_dir=$PWD/build/windows
export WINEPREFIX=$build_dir/wineprefix
wine_log=$build_dir/wine.log
mkdir -p "$WINEPREFIX"

# A wine server that stays up for the whole leg, and a prefix made ready
# before anything runs in it, so that no test pays for their start-up. Their
# helper processes outlive the command that starts them: with their output
# left on CTest's pipes, CTest would wait for them.
start_wine() {
  wineserver -p </dev/null >>"$wine_log" 2>&1
  timeout 300 scripts/run_under_wine.sh "$WINEPREFIX" wineboot \
    </dev/null >>"$wine_log" 2>&1
}
stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
}
trap stop_wine EXIT

: >"$wine_log"
stop_wine  # a server left over by an interrupted run
if ! start_wine; then
  # An interrupted run can leave the prefix unusable: start from scratch.
  echo "== wine prefix unusable, recreating it (log: $wine_log)"
  stop_wine
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  start_wine
fi

build_and_test_preset windows
