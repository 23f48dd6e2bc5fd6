#!/usr/bin/env bash
# Builds the fuzz targets in fuzz/ (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for the given number of seconds
# (default 60), as many at once as there are cores. Fails when any target
# finds a crash, a hang or a broken property; the input that did it is kept
# under build-fuzz/artifacts/<target>/.
#
#   scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: $0 [seconds] [target...]" >&2
  exit 2
fi

"$root/scripts/install-deps.sh"

build="$root/build-fuzz"
cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j"$(nproc)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in "$root"/fuzz/corpus/*/; do
    targets+=("$(basename "$dir")")
  done
fi

logs="$build/logs"
mkdir -p "$logs"
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_stack_use_after_return=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
# The single-instance target runs a local socket server; it needs no screen.
export QT_QPA_PLATFORM=offscreen

run_target() {
  local t="$1"
  local work="$build/corpus/$t" artifacts="$build/artifacts/$t"
  mkdir -p "$work" "$artifacts"
  # New inputs go to the first folder; the checked-in seeds stay as they are.
  "$build/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$work" "$root/fuzz/corpus/$t" >"$logs/$t.log" 2>&1
}

summary() {
  local t="$1" rc="$2" log="$logs/$1.log"
  local runs secs cov corp
  # A run that crashed early has none of these lines.
  runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  secs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\2/p' "$log" | tail -1)
  cov=$( (grep -o 'cov: [0-9]*' "$log" || true) | tail -1 | cut -d' ' -f2)
  corp=$( (grep -o 'corp: [0-9]*' "$log" || true) | tail -1 | cut -d' ' -f2)
  if [ "$rc" -eq 0 ]; then
    printf '%-22s ok     %9s runs in %4s s, %5s exec/s, coverage %5s, corpus %5s\n' \
      "$t" "${runs:-?}" "${secs:-?}" "$(( ${runs:-0} / (${secs:-0} > 0 ? ${secs:-1} : 1) ))" \
      "${cov:-?}" "${corp:-?}"
  else
    printf '%-22s FAILED (exit %s) after %s runs; log %s\n' "$t" "$rc" "${runs:-?}" "$log"
    (grep -E 'property broken|^  [^ ]|ERROR: |SUMMARY: ' "$log" || true) | head -12 | sed 's/^/    /'
    ls -1 "$build/artifacts/$t" 2>/dev/null | sed "s|^|    input: $build/artifacts/$t/|" | tail -3
  fi
}

jobs_max="$(nproc)"
declare -A pid_of=()
failed=0
finish_one() {
  local pid t rc
  wait -n -p pid "${!pid_of[@]}" && rc=0 || rc=$?
  t="${pid_of[$pid]}"
  unset "pid_of[$pid]"
  summary "$t" "$rc"
  [ "$rc" -eq 0 ] || failed=1
}

echo "fuzzing ${#targets[@]} targets for $seconds s each"
for t in "${targets[@]}"; do
  if [ ! -x "$build/$t" ]; then
    echo "no fuzz target $t" >&2
    exit 2
  fi
  while [ ${#pid_of[@]} -ge "$jobs_max" ]; do finish_one; done
  run_target "$t" &
  pid_of[$!]="$t"
done
while [ ${#pid_of[@]} -gt 0 ]; do finish_one; done

if [ "$failed" -ne 0 ]; then
  echo "fuzzing found faults (see above)" >&2
  exit 1
fi
echo "fuzzing found nothing"
