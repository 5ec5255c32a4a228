#!/usr/bin/env bash
# Compares the names a built library exports with the committed list.
#   check_exports.sh elf LIBRARY DIR   (Linux .so, read with nm -D)
#   check_exports.sh pe  LIBRARY DIR   (Windows DLL, read with objdump -p)
# NM, OBJDUMP and CXXFILT name other binutils than the default ones.
# DIR holds one file of demangled names per family; their union is expected.
# To accept a deliberate change of the interface, regenerate the files from
# the "actual" list this script prints and commit them.
set -euo pipefail
format=$1 library=$2 dir=$3

case $format in
  elf)
    actual=$("${NM:-nm}" -D --defined-only "$library" | awk '{print $3}' |
      "${CXXFILT:-c++filt}" | LC_ALL=C sort -u)
    ;;
  pe)
    objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
    filt=${CXXFILT:-x86_64-w64-mingw32-c++filt}
    actual=$("$objdump" -p "$library" |
      awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && /^[[:space:]]*$/ {on=0} on {print $NF}' |
      "$filt" | LC_ALL=C sort -u)
    ;;
  *) echo "unknown format: $format" >&2; exit 2 ;;
esac

expected=$(cat "$dir"/*.txt | grep -v '^\s*$' | LC_ALL=C sort -u)

if [[ "$actual" != "$expected" ]]; then
  echo "Exported names of $library differ from $dir (< expected, > actual):"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
echo "$(echo "$actual" | wc -l) exported names match $dir"
