#!/usr/bin/env bash
# Runs the whole suite, in the plain and in the sanitized build, a number of
# rounds (default 5) while two busy workers keep both cores loaded, as on a
# busy CI machine or a packager's. A test that waits a fixed time for an
# answer fails here. Prints each round's failures and a summary; fails when
# any test failed.
#
#   scripts/stress-tests.sh [rounds]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
rounds="${1:-5}"
if ! [[ "$rounds" =~ ^[0-9]+$ ]] || [ "$rounds" -lt 1 ]; then
  echo "usage: $0 [rounds]" >&2
  exit 2
fi
"$root/scripts/install-deps.sh"
source "$root/scripts/suite.sh"
build_release
build_sanitized

log="$root/build-test/stress"
mkdir -p "$log"
rm -f "$log"/*.log

stress-ng --cpu 2 --cpu-method matrixprod --timeout 0 --quiet &
load=$!
trap 'kill "$load" 2>/dev/null || true; wait "$load" 2>/dev/null || true' EXIT

failed=()
for round in $(seq 1 "$rounds"); do
  for build in build-test build-asan; do
    out="$log/round$round-$build.log"
    echo "== round $round of $rounds, $build, under load"
    (
      cd "$root/$build"
      if [ "$build" = build-asan ]; then
        sanitizer_options
        export KORVIX_KILLS=20
      fi
      ctest --output-on-failure --timeout 900 >"$out" 2>&1
    ) || true
    grep -E "tests passed|Total Test time" "$out" || true
    while read -r name; do
      failed+=("round $round, $build: $name")
      echo "   FAILED: $name"
    done < <(sed -n 's/^[[:space:]]*[0-9]* - \(tst_[a-z_0-9]*\) .*/\1/p' "$out")
  done
done

echo
if [ ${#failed[@]} -eq 0 ]; then
  echo "stress: every test passed in $rounds rounds of both builds"
  exit 0
fi
echo "stress: ${#failed[@]} failures (logs in $log):"
printf '  %s\n' "${failed[@]}"
exit 1
