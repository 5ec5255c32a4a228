# Packaging: configure for one prefix, install into another with
# `cmake --install --prefix`, build and run a consumer against that install
# with find_package and with pkg-config, and one through add_subdirectory,
# check that GDB loads the installed printers for the library by itself, and
# compare the library's ABI with the committed baseline.
set -euo pipefail
source scripts/common.sh
ensure_packages cmake ninja-build g++ pkg-config abigail-tools gdb

root=$PWD
build=build/package
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The package files must find the install wherever it lies: they are
# configured for a prefix that is never created, with a library directory
# two levels deep like Debian's multiarch one, and installed elsewhere.
configured=$work/configured
prefix=$work/prefix

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZAND_STL_BUILD_TESTS=OFF -DZAND_STL_BUILD_BENCHMARKS=OFF \
  -DZAND_STL_BUILD_EXAMPLES=OFF -DZAND_STL_WERROR=ON \
  -DCMAKE_INSTALL_PREFIX="$configured" \
  -DCMAKE_INSTALL_LIBDIR="lib/$(g++ -dumpmachine)" >/dev/null
cmake --build "$build"
cmake --install "$build" --prefix "$prefix" >/dev/null
[[ ! -e $configured ]] || { echo "package: the install wrote into $configured"; exit 1; }

# CMakeLists.txt alone names the version; the library's file name and its
# SONAME follow it.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
libdir=$(find "$prefix" -name "libzand_stl.so.$version" -printf '%h\n')
[[ -n $libdir ]] || { echo "package: libzand_stl.so.$version not installed"; exit 1; }
for f in "$libdir/libzand_stl.so.${version%%.*}" "$libdir/libzand_stl.so" \
  "$libdir/cmake/zand_stl/zand_stlConfig.cmake" \
  "$libdir/cmake/zand_stl/zand_stlConfigVersion.cmake" \
  "$libdir/pkgconfig/zand_stl.pc" \
  "$prefix/include/zand_stl/zand_stl.h" \
  "$prefix/include/zand_stl/internal/obj_hash_table.h" \
  "$prefix/share/zand_stl/lldb/zand_stl_lldb.py" \
  "$prefix/share/zand_stl/lldb/zand_stl_views.py" \
  "$prefix/share/zand_stl/zand_stl.natvis"; do
  [[ -e $f ]] || { echo "package: missing $f"; exit 1; }
done
# GDB looks for a library's printers under its auto-load directory, at the
# library's own path.
autoload=$prefix/share/gdb/auto-load
gdb_script=$autoload$libdir/libzand_stl.so.$version-gdb.py
[[ -e $gdb_script ]] || { echo "package: missing $gdb_script"; exit 1; }
# The package hands the natvis file to Visual C++ consumers, from the install.
natvis=$(sed -n 's/.*INTERFACE_SOURCES.*\${_IMPORT_PREFIX}\([^>]*natvis\)>.*/\1/p' \
  "$libdir/cmake/zand_stl/zand_stlTargets.cmake")
[[ -n $natvis && -e $prefix$natvis ]] ||
  { echo "package: the package names no installed natvis file ($natvis)"; exit 1; }
echo "package: version $version installed into $prefix"

# Configures, builds and runs the CMake consumer project tests/package/$1.
cmake_consumer() {
  local project=$1
  shift
  echo "== consumer through $project"
  cmake -S "tests/package/$project" -B "$work/$project" -G Ninja "$@" >/dev/null
  cmake --build "$work/$project" >/dev/null
  "$work/$project/consumer"
}

cmake_consumer find_package -DCMAKE_PREFIX_PATH="$prefix"

echo "== GDB loads the printers for the consumer's library"
# A prefix other than GDB's own is named to it, as the README tells users.
gdb -batch -nx -iex "add-auto-load-scripts-directory $autoload" \
  -iex "add-auto-load-safe-path $autoload" -ex 'break puts' -ex run \
  -ex 'info auto-load python-scripts' -ex 'info pretty-printer' \
  "$work/find_package/consumer" </dev/null >"$work/gdb.log" 2>&1 || true
awk -v script="$gdb_script" '$1 == "Yes" && $2 == script { found = 1 }
  END { exit !found }' "$work/gdb.log" ||
  { cat "$work/gdb.log"; echo "package: GDB did not load $gdb_script"; exit 1; }
# Loaded through to its end, shared walks imported, it registered the views.
grep -q '^ *ZAND_OBJ_MAP$' "$work/gdb.log" ||
  { cat "$work/gdb.log"; echo "package: $gdb_script registered no views"; exit 1; }

echo "== consumer through pkg-config"
export PKG_CONFIG_PATH=$libdir/pkgconfig
[[ $(pkg-config --modversion zand_stl) == "$version" ]] ||
  { echo "package: zand_stl.pc does not say version $version"; exit 1; }
# Its directories, resolved, must be those of this install.
pc_dir() { realpath -m "$(pkg-config --variable="$1" zand_stl)"; }
[[ $(pc_dir libdir) == "$(realpath "$libdir")" &&
  $(pc_dir includedir) == "$(realpath "$prefix/include")" ]] ||
  { echo "package: zand_stl.pc points outside $prefix"; exit 1; }
# shellcheck disable=SC2046
g++ -std=c++17 tests/package/consumer.cpp $(pkg-config --cflags --libs zand_stl) \
  -o "$work/pc-consumer"
LD_LIBRARY_PATH=$libdir "$work/pc-consumer"

cmake_consumer subdirectory -DZAND_STL_SOURCE_DIR="$root"

echo "== ABI against abi/libzand_stl.abi"
scripts/abi.sh check "$build/libzand_stl.so"
