#!/usr/bin/env bash
# Holds the Visual Studio views to the headers, since no Visual Studio runs
# here: the file must be well-formed XML, every type it names must be a class
# of include/zand_stl/<type in lower case>.h, and every member that a type's
# entry names (m_..., or after "." or "->") must be a data member declared
# in a header of the library (include/zand_stl/, src/containers/).
#   check_natvis.sh NATVIS INCLUDE_DIR SOURCE_DIR
set -euo pipefail
natvis=$1 include=$2 source=$3

xmllint --noout "$natvis"
types=$(xmllint --xpath '//*[local-name()="Type"]/@Name' "$natvis" |
  sed 's/ *Name="\([^"]*\)"/\1\n/g')
[[ -n $types ]] || { echo "check_natvis.sh: $natvis names no type" >&2; exit 1; }
headers=("$include"/zand_stl/*.h "$include"/zand_stl/internal/*.h "$source"/containers/*.h)
failed=0
for type in $types; do
  header=$include/zand_stl/${type,,}.h
  if ! grep -Eq "^class [A-Z_ ]*\b$type \{" "$header" 2>/dev/null; then
    echo "check_natvis.sh: $type is not a class of $header" >&2
    failed=1
    continue
  fi
  # The entry's attributes and texts (not its comments), unescaped.
  entry="//*[local-name()='Type'][@Name='$type']"
  members=$(xmllint --xpath "$entry//@* | $entry//text()" "$natvis" |
    sed 's/&lt;/</g; s/&gt;/>/g; s/&quot;/"/g; s/&amp;/\&/g' |
    grep -oE '(\.|->)[A-Za-z_][A-Za-z0-9_]*|\bm_[A-Za-z0-9_]*' |
    sed 's/^\(\.\|->\)//' | sort -u)
  for member in $members; do
    if ! grep -Eqh "^ +[^(]*[ *&]$member(\[[^]]*\])?;" "${headers[@]}"; then
      echo "check_natvis.sh: $type names $member, a data member of no header" >&2
      failed=1
    fi
  done
  echo "check_natvis.sh: $type:" $members
done
exit "$failed"
