# The libFuzzer targets, built with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer: each replays its seed corpus, then fuzzes from
# it for ZAND_STL_FUZZ_SECONDS (15 by default). New inputs go to a scratch
# directory, never into fuzz/corpus; an input that breaks a target is kept
# in build/fuzz/artifacts.
set -euo pipefail
source scripts/common.sh
ensure_packages cmake ninja-build "${clang_packages[@]}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

seconds=${ZAND_STL_FUZZ_SECONDS:-15}
artifacts=build/fuzz/artifacts
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$artifacts"

# Every fuzz/fuzz_*.cpp is a target, with its corpus in fuzz/corpus.
for source in fuzz/fuzz_*.cpp; do
  target=$(basename "$source" .cpp)
  fuzzer=build/fuzz/fuzz/$target
  log=$scratch/$target.log
  mkdir "$scratch/$target"
  if ! "$fuzzer" -runs=0 "fuzz/corpus/$target" >"$log" 2>&1 ||
    ! "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$artifacts/$target-" \
      "$scratch/$target" "fuzz/corpus/$target" >>"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz: $target failed; the input is in $artifacts" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz: $target: $runs executions in $seconds s, no finding"
done
