#!/usr/bin/env bash
# Holds the Visual Studio views to the headers, since no Visual Studio runs
# here: the file must be well-formed XML, every type it names must be a class
# of include/zand_stl/<type in lower case>.h, and every member of ours
# (m_...) that a type's entry names must be a data member in that header.
#   check_natvis.sh NATVIS INCLUDE_DIR
set -euo pipefail
natvis=$1 include=$2

xmllint --noout "$natvis"
types=$(xmllint --xpath '//*[local-name()="Type"]/@Name' "$natvis" |
  sed 's/ *Name="\([^"]*\)"/\1\n/g')
[[ -n $types ]] || { echo "check_natvis.sh: $natvis names no type" >&2; exit 1; }
failed=0
for type in $types; do
  header=$include/zand_stl/${type,,}.h
  if ! grep -Eq "^class [A-Z_ ]*\b$type \{" "$header" 2>/dev/null; then
    echo "check_natvis.sh: $type is not a class of $header" >&2
    failed=1
    continue
  fi
  members=$(xmllint --xpath "//*[local-name()='Type'][@Name='$type']" "$natvis" |
    grep -o '\bm_[A-Za-z0-9_]*' | sort -u)
  for member in $members; do
    if ! grep -Eq "^ +[^(]*[ *&]$member;" "$header"; then
      echo "check_natvis.sh: $type has no data member $member in $header" >&2
      failed=1
    fi
  done
  echo "check_natvis.sh: $type:" $members
done
exit "$failed"
