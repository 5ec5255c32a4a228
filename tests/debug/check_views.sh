#!/usr/bin/env bash
# Shows the objects of the views program (views_program.cpp) in GDB or LLDB
# with the project's printers, after breaking the links of two lists as the
# program expects, and compares the output with what the program wrote that
# it must be.
#   check_views.sh GDB|LLDB PROGRAM PRINTERS WORK_DIR
# (GDB and LLDB: the debugger's name or path.)
set -euo pipefail
debugger=$1 program=$2 printers=$3 work=$4
name=$(basename "$debugger")

# The objects shown, in the program's order. The map joins them once its
# printers exist.
objects=(list empty_list limit_list long_list cyclic_list broken_list
  reader writer updater no_file)

# cyclic_list's third node leads back to its first, broken_list's second
# node to address 8; one C++ expression for both debuggers.
first=cyclic_list.m_chain._M_impl._M_node._M_next
corruptions=(
  "$first->_M_next->_M_next->_M_next = $first"
  "broken_list.m_chain._M_impl._M_node._M_next->_M_next->_M_next = (std::__detail::_List_node_base *) 8"
)

# The views' texts may hold more than ASCII (a map's cut key ends in "…"):
# the debuggers write UTF-8 whatever the caller's locale.
export LC_ALL=C.UTF-8

rm -rf "$work"
mkdir -p "$work"
args=()
case $name in
  gdb)
    # The standard library's printers stay unloaded: ours read the layout.
    args=(-batch -nx -iex 'set auto-load python-scripts off' -x "$printers"
      -ex 'set print elements unlimited' -ex 'set width 0'
      -ex 'break zand_views_stop' -ex run -ex up)
    for expression in "${corruptions[@]}"; do args+=(-ex "set var $expression"); done
    for object in "${objects[@]}"; do
      args+=(-ex "echo ==== $object\\n" -ex "output $object" -ex 'echo \n')
    done
    args+=(--args "$program" "$work")
    ;;
  lldb)
    # Debian's lldb 14 looks for its Python module where it is not (see
    # `lldb -P`): point Python at the directory its package fills.
    if [[ ! -e $("$debugger" -P 2>/dev/null)/lldb/embedded_interpreter.py ]]; then
      module=$(dpkg -S '*/lldb/embedded_interpreter.py' 2>/dev/null | sed -n '1s/^[^:]*: //p')
      export PYTHONPATH=${module%/lldb/embedded_interpreter.py}
    fi
    args=(--batch -o 'settings set target.max-children-count 20000'
      -o "command script import $printers"
      -o 'breakpoint set -n zand_views_stop' -o run -o 'frame select 1')
    for expression in "${corruptions[@]}"; do args+=(-o "expr -- $expression"); done
    for object in "${objects[@]}"; do
      args+=(-o "script print('==== $object')" -o "frame variable $object")
    done
    args+=(-- "$program" "$work")
    ;;
  *) echo "check_views.sh: unknown debugger $name" >&2; exit 2 ;;
esac

# A printer caught in a cycle would hang the debugger: the bound fails it.
if ! timeout 100 "$debugger" "${args[@]}" </dev/null >"$work/output" 2>&1; then
  cat "$work/output"
  echo "check_views.sh: $name failed or timed out" >&2
  exit 1
fi
# From the first object on, without LLDB's echo of its commands.
sed -n '/^==== /,$p' "$work/output" | grep -v '^(lldb) ' >"$work/shown" || true
awk -v names="${objects[*]}" '
  BEGIN { n = split(names, list, " "); for (i = 1; i <= n; ++i) wanted["==== " list[i]] = 1 }
  /^==== / { keep = ($0 in wanted) }
  keep' "$work/$name.expected" >"$work/expected"
if ! cmp -s "$work/expected" "$work/shown"; then
  diff -u "$work/expected" "$work/shown" | cut -c 1-300 | head -n 40 || true
  echo "check_views.sh: $name showed otherwise than expected (in $work)" >&2
  exit 1
fi
echo "check_views.sh: $name showed ${#objects[@]} objects as expected"
