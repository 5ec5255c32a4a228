#!/usr/bin/env bash
# Builds the release preset's benchmark programs, runs every one with
# repetitions (JSON in build/bench/), then writes bench/RESULTS.md and the
# chart bench/size_curve.svg from that output.
#
#   bench/run.sh                     the full run, under an hour on 2 cores,
#                                    with 3 GiB of memory free
#   ZAND_BENCH_QUICK=1 bench/run.sh  a few minutes: every case but those of
#                                    1 000 000 and 10 000 000 elements,
#                                    briefly, to try the pipeline; writes
#                                    build/bench/RESULTS.md and
#                                    build/bench/size_curve.svg instead, whose
#                                    figures are not measurements
#
# Run it on an otherwise idle machine (see README.md here on the noise).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
ensure_packages cmake ninja-build g++ libbenchmark-dev libabsl-dev python3 \
  python3-matplotlib

# Debian's interpreter, for which python3-matplotlib is installed; a
# version manager's python3 earlier on PATH may lack it.
python=/usr/bin/python3
[[ -x $python ]] || python=python3

programs=(map hostile list strings lines sizes)
json=build/bench
big='/1000000(/|$)'              # the cases of 1 000 000 elements
huge='/10000000(/|$)'            # those of 10 000 000
rest='-/(1000000|10000000)(/|$)' # all the others

if [[ ${ZAND_BENCH_QUICK:-0} == 1 ]]; then
  reps=2 big_reps=0 huge_reps=0 min_time=0.01
  sizes_args=(--sizes_elements=20000)
  results=build/bench
  note="Quick mode (ZAND_BENCH_QUICK=1): a trial of the pipeline with \
20 000 elements per size-curve measurement instead of 200 000, two short \
repetitions, and no case of 1 000 000 or 10 000 000 elements. These are \
not measurements."
  settings="quick mode"
else
  reps=5 big_reps=3 huge_reps=3 min_time=0.3
  sizes_args=()
  results=bench
  note=""
  settings="$reps repetitions of at least $min_time s of CPU time each \
($big_reps for the cases of 1 000 000 elements, $huge_reps for those of \
10 000 000)"
fi

commit=$(git rev-parse HEAD)
if [[ -n $(git status --porcelain --untracked-files=no) ]]; then
  commit+=" (with uncommitted changes)"
fi

cmake --preset release >/dev/null
cmake --build --preset release --target "${programs[@]/#/zand_stl_bench_}"

mkdir -p "$json"
rm -f "$json"/*.json
start=$SECONDS

# run PROGRAM NAME REPETITIONS FILTER [ARGUMENTS...]: one pass of a program
# over the cases FILTER selects, its output in $json/NAME.json.
outputs=()
run() {
  local program=$1 name=$2 repetitions=$3 filter=$4
  shift 4
  outputs+=("$json/$name.json")
  echo "== $name: $repetitions repetitions, $(date -u +%H:%M:%S) UTC"
  "build/release/bench/zand_stl_bench_$program" \
    --benchmark_filter="$filter" \
    --benchmark_repetitions="$repetitions" \
    --benchmark_min_time="$min_time" \
    --benchmark_display_aggregates_only=true \
    --benchmark_out="$json/$name.json" --benchmark_out_format=json "$@"
}

for program in "${programs[@]}"; do
  extra=()
  [[ $program == sizes ]] && extra=("${sizes_args[@]}")
  run "$program" "$program" "$reps" "$rest" "${extra[@]}"
  case $program in
    map | hostile | list | sizes)
      if ((big_reps > 0)); then
        run "$program" "${program}_1000000" "$big_reps" "$big" "${extra[@]}"
      fi
      ;;
  esac
  case $program in
    map | sizes)
      if ((huge_reps > 0)); then
        run "$program" "${program}_10000000" "$huge_reps" "$huge" "${extra[@]}"
      fi
      ;;
  esac
done

minutes=$(((SECONDS - start + 30) / 60))
settings+="; the programs ran for $minutes min"
echo "== the programs ran for $minutes min"

"$python" bench/plot.py --out "$results/size_curve.svg" --commit "$commit" \
  "$json"/sizes*.json "$json"/hostile*.json
readme=()
[[ $results == bench ]] && readme=(--readme bench/README.md)
"$python" bench/summarize.py --out "$results/RESULTS.md" --commit "$commit" \
  --note "$note" --settings "$settings" --build-dir build/release \
  "${readme[@]}" "${outputs[@]}"
echo "== wrote $results/RESULTS.md"
