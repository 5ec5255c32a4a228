#!/usr/bin/env bash
# Shows the objects of the views program (views_program.cpp) in GDB or LLDB
# with the project's printers, after breaking the links of lists and maps as
# the program expects, and compares the output with what the program wrote
# that it must be; then shows its maps again through a copy of the library
# without debug information, where the printers fall back on their own
# table of the map's layout.
#   check_views.sh GDB|LLDB PROGRAM PRINTERS LIBRARY WORK_DIR
# (GDB and LLDB: the debugger's name or path; LIBRARY: the file of the
# library's soname.)
set -euo pipefail
debugger=$1 program=$2 printers=$3 library=$4 work=$5
name=$(basename "$debugger")

# The objects shown, in the program's order, and those shown again without
# the library's debug information.
objects=(list empty_list limit_list long_list cyclic_list broken_list
  reader writer updater no_file map empty_map cleared_map small_map
  limit_map long_map looped_map unlinked_map stuck_map)
bare_objects=(map empty_map cleared_map small_map)

# cyclic_list's third node leads back to its first, broken_list's second
# node to address 8. The maps hold seven keys of one bucket, six in its
# head and one in the leaf after: looped_map's head leads back to itself,
# unlinked_map's to address 8, and stuck_map's bucket 0 (whichever holds
# the keys) to itself, emptied. One C++ expression each, for both
# debuggers; full MAP is the head of the bucket that holds the keys.
first=cyclic_list.m_chain._M_impl._M_node._M_next
heads() { echo "$1.m_table.m_slots.m_form.large.heads.array"; }
full() { echo "$(heads "$1")[$(heads "$1")[0].count == 0]"; }
corruptions=(
  "$first->_M_next->_M_next->_M_next = $first"
  "broken_list.m_chain._M_impl._M_node._M_next->_M_next->_M_next = (std::__detail::_List_node_base *) 8"
  "$(full looped_map).chain.next = &$(full looped_map)"
  "$(full unlinked_map).chain.next = (zand_internal::ObjHashLeaf *) 8"
  "$(heads stuck_map)[0].count = 0"
  "$(heads stuck_map)[0].chain.next = $(heads stuck_map)"
)

# The views' texts may hold more than ASCII (a map's cut key ends in "…"):
# the debuggers write UTF-8 whatever the caller's locale.
export LC_ALL=C.UTF-8

# show DIR full|bare OBJECT...: runs the program in the debugger, writing
# into DIR, and compares what it showed of each object (DIR/shown) with
# what it should have (DIR/expected). "full" breaks the links first; "bare"
# is for a library without debug information. The libraries the program
# loaded are listed in DIR/output.
show() {
  local dir=$1 mode=$2
  shift 2
  local objects=("$@") args=()
  mkdir -p "$dir"
  case $name in
    gdb)
      # The standard library's printers stay unloaded: ours read the layout.
      args=(-batch -nx -iex 'set auto-load python-scripts off' -x "$printers"
        -ex 'set print elements unlimited' -ex 'set width 0'
        -ex 'break zand_views_stop' -ex run -ex up -ex 'info sharedlibrary zand_stl')
      if [[ $mode == full ]]; then
        for expression in "${corruptions[@]}"; do args+=(-ex "set var $expression"); done
      fi
      for object in "${objects[@]}"; do
        args+=(-ex "echo ==== $object\\n" -ex "output $object" -ex 'echo \n')
      done
      args+=(--args "$program" "$dir")
      ;;
    lldb)
      # Debian's lldb 14 looks for its Python module where it is not (see
      # `lldb -P`): point Python at the directory its package fills.
      if [[ ! -e $("$debugger" -P 2>/dev/null)/lldb/embedded_interpreter.py ]]; then
        module=$(dpkg -S '*/lldb/embedded_interpreter.py' 2>/dev/null | sed -n '1s/^[^:]*: //p')
        export PYTHONPATH=${module%/lldb/embedded_interpreter.py}
      fi
      # LLDB's embedded Python takes its prefix from the first python3 on
      # PATH; a version manager's (pyenv's, first on PATH inside a script it
      # runs, such as scripts/mutants) hides the system's packages from it,
      # and lldb's own module fails to import. The python3 beside lldb is
      # the one it was built with.
      PATH=$(dirname "$(command -v "$debugger")"):$PATH
      args=(--batch -o 'settings set target.max-children-count 20000'
        -o "command script import $printers"
        -o 'breakpoint set -n zand_views_stop' -o run -o 'frame select 1'
        -o 'image list')
      if [[ $mode == full ]]; then
        for expression in "${corruptions[@]}"; do args+=(-o "expr -- $expression"); done
      fi
      for object in "${objects[@]}"; do
        args+=(-o "script print('==== $object')" -o "frame variable $object")
      done
      args+=(-- "$program" "$dir")
      ;;
    *) echo "check_views.sh: unknown debugger $name" >&2; exit 2 ;;
  esac

  # A printer caught in a cycle would hang the debugger: the bound fails it,
  # with room for a sound run on a busy machine.
  if ! timeout 150 "$debugger" "${args[@]}" </dev/null >"$dir/output" 2>&1; then
    cat "$dir/output"
    echo "check_views.sh: $name failed or timed out" >&2
    exit 1
  fi
  # From the first object on, without LLDB's echo of its commands.
  sed -n '/^==== /,$p' "$dir/output" | grep -v '^(lldb) ' >"$dir/shown" || true
  awk -v names="${objects[*]}" '
    BEGIN { n = split(names, list, " "); for (i = 1; i <= n; ++i) wanted["==== " list[i]] = 1 }
    /^==== / { keep = ($0 in wanted) }
    keep' "$dir/$name.expected" >"$dir/expected"
  # LLDB writes a null pointer to a class it has only declared as digits.
  if [[ $name == lldb && $mode == bare ]]; then
    sed -i 's/= nullptr$/= 0x0000000000000000/' "$dir/expected"
  fi
  if ! cmp -s "$dir/expected" "$dir/shown"; then
    diff -u "$dir/expected" "$dir/shown" | cut -c 1-300 | head -n 40 || true
    echo "check_views.sh: $name showed otherwise than expected (in $dir)" >&2
    exit 1
  fi
}

rm -rf "$work"
show "$work/full" full "${objects[@]}"

# The library without its debug information, found before the build's
# (the program's RUNPATH yields to LD_LIBRARY_PATH): the program then only
# declares the map, and the printers read it through their own table.
mkdir -p "$work/bare/lib"
objcopy --strip-debug "$library" "$work/bare/lib/$(basename "$library")"
LD_LIBRARY_PATH=$work/bare/lib show "$work/bare" bare "${bare_objects[@]}"
if ! grep -q "$work/bare/lib/" "$work/bare/output"; then
  echo "check_views.sh: the program did not load the library without debug information" >&2
  exit 1
fi
echo "check_views.sh: $name showed ${#objects[@]} objects as expected," \
  "and ${#bare_objects[@]} maps without the library's debug information"
