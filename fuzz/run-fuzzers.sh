#!/usr/bin/env bash
# Runs every fuzz target (or the ones named) for a while on its seeds:
#   fuzz/run-fuzzers.sh BUILD_DIR SECONDS [NAME...]
# NAME is the part after "fuzz_" (zip, jet, filter, lists, update_answers, signature, release,
# program_image).
# FUZZ_KEEP_GOING=1 keeps fuzzing past a finding (libFuzzer's fork mode), to collect several.
# The growing corpus is kept in BUILD_DIR/corpus/NAME/, crash, leak and timeout inputs go to
# BUILD_DIR/artifacts/NAME/, the output to BUILD_DIR/logs/NAME.log. Exits non-zero when any
# target found something.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
seconds=$2
shift 2
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  names=(zip jet filter lists update_answers signature release program_image)
fi

# Leaks inside libmdb and glib are not ours to fix; everything else is reported.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_stack_use_after_return=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The targets write their scratch files below a temporary folder of this run, in memory
# when the machine has /dev/shm.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  scratch=$(mktemp -d -p /dev/shm)
else
  scratch=$(mktemp -d)
fi
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch

failed=()
for name in "${names[@]}"; do
  target=$build/fuzz/fuzz_$name
  if [ ! -x "$target" ]; then
    echo "run-fuzzers: no target $target" >&2
    failed+=("$name")
    continue
  fi
  corpus=$build/corpus/$name
  artifacts=$build/artifacts/$name
  mkdir -p "$corpus" "$artifacts" "$build/logs"
  seeds=()
  for dir in "$build/fuzz/seeds/$name" "$here/seeds/$name"; do
    [ -d "$dir" ] && seeds+=("$dir")
  done
  log=$build/logs/$name.log
  echo "== fuzz_$name: $seconds s"
  extra=()
  if [ "${FUZZ_KEEP_GOING:-0}" = 1 ]; then
    extra=(-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
  fi
  "$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 "${extra[@]}" \
    -artifact_prefix="$artifacts/" "$corpus" "${seeds[@]}" >"$log" 2>&1
  status=$?
  # The last status line: runs, coverage, corpus and speed.
  grep -E '^#[0-9]+' "$log" | tail -n 1
  if [ $status -ne 0 ]; then
    echo "fuzz_$name FOUND SOMETHING (exit $status), see $log"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz check failed|.*runtime error)|Test unit written' "$log" | head -n 8
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "run-fuzzers: findings in: ${failed[*]}"
  exit 1
fi
echo "run-fuzzers: no findings in ${names[*]}"
