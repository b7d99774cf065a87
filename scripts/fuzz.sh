#!/usr/bin/env bash
# Builds the fuzz harnesses of fuzz/ with clang's libFuzzer (ASan and UBSan
# on) and runs each for a while, starting from its seed corpus.
#   bash scripts/fuzz.sh [--seconds N | --cpu-minutes M | --keep] [--no-build] [NAME...]
# N is each harness's run time (default 10); with --cpu-minutes a harness
# runs until it has used M minutes of processor time (the long runs, which
# may run at a low priority beside other work: NICE=19). NAME... picks
# harnesses (all by default). What a run adds to a corpus stays in build-fuzz/fuzz-work/NAME,
# so later runs go on from it; an input that crashes is saved there as
# crash-*, and the script exits 1. BUILD_DIR and CMAKE_ARGS as for test.sh;
# FUZZ_SEED fixes the fuzzers' random seed (CI's short runs are repeatable).
# A run starts from the seeds (fuzz/corpus/NAME), the inputs earlier long runs
# found (fuzz/grown/NAME) and the inputs that once crashed (fuzz/crashes/NAME).
# --keep fuzzes nothing: it adds to fuzz/grown/NAME a small set of inputs of the
# work corpus that reach every edge of code the inputs kept in fuzz/ do not.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=10
cpu_minutes=""
build_first=1
keep=0
names=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --cpu-minutes) cpu_minutes="$2"; shift 2 ;;
    --no-build) build_first=0; shift ;;
    --keep) keep=1; shift ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) names+=("$1"); shift ;;
  esac
done

build="${BUILD_DIR:-build-fuzz}"
if [ "$build_first" -eq 1 ]; then
  # libFuzzer comes with clang's runtime libraries.
  bash scripts/setup.sh clang libclang-rt-14-dev
  # shellcheck disable=SC2086
  CC=clang CXX=clang++ cmake -S . -B "$build" -DQORA_FUZZ=ON -DQORA_BUILD_TESTS=OFF \
    -DQORA_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_ARGS:-} >/dev/null
  cmake --build "$build" -j "$(nproc)" --target fuzz_all
fi

if [ ${#names[@]} -eq 0 ]; then
  for program in "$build"/fuzz/fuzz_*; do
    names+=("$(basename "$program" | sed 's/^fuzz_//')")
  done
fi

# Processor seconds used so far by the programs this script ran (ended
# ones), from the shell's own account (`times` must run in this shell, not
# in a command substitution, whose own children are none).
times_file=$(mktemp)
trap 'rm -f "$times_file"' EXIT
children_cpu() {
  tail -1 "$times_file" | awk '{
    n = 0
    for (i = 1; i <= 2; ++i) { split($i, p, /[ms]/); n += p[1] * 60 + p[2] }
    print int(n) }'
}

# Kept inputs of NAME: its seeds, what long runs found, what once crashed.
kept_folders() {
  local folder
  for folder in "fuzz/corpus/$1" "fuzz/grown/$1" "fuzz/crashes/$1"; do
    if [ -d "$folder" ]; then echo "$folder"; fi
  done
}

# The names of the files in folder $1, sorted.
names_in() { find "$1" -maxdepth 1 -type f -printf '%f\n' | LC_ALL=C sort; }

# Merges the work corpus of harness $1 into fuzz/grown/$1. libFuzzer's merge
# keeps an input only if it reaches a feature that the inputs already in the
# target folder do not; with the hit counters off a feature is an edge, so
# the kept inputs stay few. The merge runs in a scratch folder holding every
# kept input, and only what it adds is copied into the repository.
keep_grown() {
  local name="$1" program="$build/fuzz/fuzz_$1" work="$build/fuzz-work/$1/corpus"
  if [ ! -x "$program" ] || [ ! -d "$work" ]; then
    echo "fuzz.sh: no harness or no work corpus named $name" >&2
    return 2
  fi
  local scratch before added
  scratch=$(mktemp -d)
  local folder
  for folder in $(kept_folders "$name"); do cp -p "$folder"/* "$scratch"/; done
  before=$(mktemp)
  names_in "$scratch" >"$before"
  if ! "$program" -merge=1 -use_counters=0 -timeout=20 -rss_limit_mb=2560 \
      "$scratch" "$work" >"$build/fuzz-work/$name/last-keep.log" 2>&1; then
    echo "fuzz.sh: the merge of $name failed: see $build/fuzz-work/$name/last-keep.log" >&2
    rm -rf "$scratch" "$before"
    return 1
  fi
  mkdir -p "fuzz/grown/$name"
  added=0
  while read -r file; do
    cp -p "$scratch/$file" "fuzz/grown/$name/"
    added=$((added + 1))
  done < <(names_in "$scratch" | comm -13 "$before" -)
  rm -rf "$scratch" "$before"
  printf '%-22s %6s inputs added to fuzz/grown/%s\n' "$name" "$added" "$name"
}

if [ "$keep" -eq 1 ]; then
  for name in "${names[@]}"; do keep_grown "$name"; done
  exit 0
fi

failed=0
printf '%-22s %8s %12s %8s %8s %8s  %s\n' harness cpu-s executions cov ft corpus result
for name in "${names[@]}"; do
  program="$build/fuzz/fuzz_$name"
  work="$build/fuzz-work/$name"
  if [ ! -x "$program" ] || [ ! -d "fuzz/corpus/$name" ]; then
    echo "fuzz.sh: no harness or no seed corpus named $name" >&2
    exit 2
  fi
  mkdir -p "$work/corpus" "$work/artifacts"
  log="$work/last-run.log"
  result=ok
  mapfile -t kept < <(kept_folders "$name")
  times >"$times_file"
  cpu_before=$(children_cpu)
  limit=(-max_total_time="$seconds")
  if [ -n "$cpu_minutes" ]; then limit=(); fi
  if [ -n "${FUZZ_SEED:-}" ]; then limit+=(-seed="$FUZZ_SEED"); fi
  nice -n "${NICE:-0}" "$program" "${limit[@]}" -print_final_stats=1 -timeout=20 \
    -rss_limit_mb=2560 -artifact_prefix="$work/artifacts/" \
    "$work/corpus" "${kept[@]}" >"$log" 2>&1 &
  pid=$!
  if [ -n "$cpu_minutes" ]; then
    # Processor time of the harness (user and system), in seconds; the
    # harness is asked to end, as Ctrl-C would, once it has had its share.
    ticks=$(getconf CLK_TCK)
    while kill -0 "$pid" 2>/dev/null; do
      used=$(awk -v t="$ticks" '{ print int(($14 + $15) / t) }' "/proc/$pid/stat" 2>/dev/null || echo 0)
      if [ "$used" -ge $((cpu_minutes * 60)) ]; then kill -INT "$pid"; break; fi
      sleep 5
    done
  fi
  status=0
  wait "$pid" || status=$?
  times >"$times_file"
  cpu_after=$(children_cpu)
  # A run asked to end by the limit exits as an interrupted run: that is no
  # finding. Anything else that is not 0 is.
  if [ "$status" -ne 0 ] && ! { [ -n "$cpu_minutes" ] && grep -a -q "run interrupted" "$log"; }; then
    result="FAILED: see $log and $work/artifacts"
    failed=1
  fi
  executions=$(grep -a '^stat::number_of_executed_units:' "$log" | sed 's/^[^:]*:: *//; s/^[^:]*: *//'  | tail -1)
  final=$(grep -a -E '^#[0-9]+.*(DONE|cov:)' "$log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$final")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$final")
  corpus=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$final")
  printf '%-22s %8s %12s %8s %8s %8s  %s\n' "$name" "$((cpu_after - cpu_before))" "${executions:-?}" \
    "${cov:-?}" "${ft:-?}" "${corpus:-?}" "$result"
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$(date -u +%FT%TZ)" "$name" "$((cpu_after - cpu_before))" \
    "${executions:-?}" "${cov:-?}" "${ft:-?}" "${corpus:-?}" "$result" >>"$build/fuzz-work/runs.tsv"
done
exit "$failed"
