# Helpers shared by the check legs; sourced, not run.

# The clang of Debian's clang package, which the clang presets call as
# clang++: its sanitizer and libFuzzer runtimes come in a package named after
# this version.
clang_version=14
clang_packages=(clang "libclang-rt-$clang_version-dev")

# Installs the Debian packages among "$@" that are missing. CI runs on a
# fresh machine, so every leg names what it needs here.
ensure_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$pkg")
  done
  if ((${#missing[@]})); then
    echo "== installing ${missing[*]}"
    local sudo=()
    ((EUID == 0)) || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# Configures, builds and tests one CMake preset.
build_and_test_preset() {
  local preset=$1
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j "$(nproc)"
}
