#!/usr/bin/env bash
# The Linux library's ABI against the committed baseline abi/libzand_stl.abi.
#   scripts/abi.sh check  LIBRARY   fails on any change to the exported interface
#   scripts/abi.sh update LIBRARY   accepts the current ABI as the new baseline
# LIBRARY should be built with debug information (RelWithDebInfo), as the
# package leg builds it: build/package/libzand_stl.so. A deliberate change of
# the interface is accepted by running "update" and committing the baseline.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=$1 library=$2
baseline=abi/libzand_stl.abi
# The baseline holds no path of the machine that made it, so the same
# library dumps byte for byte alike wherever it is built: no source
# locations, no build directories, translation units by file name alone.
dump() {
  abidw --no-corpus-path --no-comp-dir-path --no-show-locs --short-locs \
    --headers-dir include/zand_stl --out-file "$1" "$library"
}
case $mode in
  update)
    dump "$baseline"
    echo "abi: baseline $baseline updated; commit it"
    ;;
  check)
    current=$(mktemp)
    trap 'rm -f "$current"' EXIT
    dump "$current"
    if ! abidiff --suppressions abi/zand_stl.abignore "$baseline" "$current"; then
      echo "abi: the exported interface changed. If that is deliberate, run"
      echo "  scripts/abi.sh update $library"
      echo "and commit abi/libzand_stl.abi."
      exit 1
    fi
    echo "abi: no change against $baseline"
    ;;
  *) echo "usage: scripts/abi.sh check|update LIBRARY" >&2; exit 2 ;;
esac
