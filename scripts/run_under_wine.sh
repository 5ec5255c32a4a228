#!/usr/bin/env bash
# Runs a Windows program under Wine; the cross build's emulator, through
# which CTest lists and runs the tests.
#   run_under_wine.sh PREFIX PROGRAM [ARGUMENTS...]
# PREFIX is a Wine prefix of the build's own, created on first use. Wine runs
# headless and quiet, and skips the Mono and Gecko installers.
set -uo pipefail
export WINEPREFIX=$1
shift
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

"${WINE:-wine}" "$@"
status=$?
# Wine's own answer when the program or a DLL it imports cannot be loaded;
# no test program exits with it.
if ((status == 53)); then
  echo "run_under_wine.sh: Wine could not load $1 or a DLL it imports" \
    "(exit status 53): a missing DLL, not a failing test." \
    "The DLLs must lie beside the program." >&2
fi
exit "$status"
