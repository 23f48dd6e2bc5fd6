#!/usr/bin/env bash
# Builds Korvix with its tests and runs every test.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"

source "$root/scripts/suite.sh"
build_release

build="$root/build-test"
cd "$build"
# As many at once as there are cores: most tests wait on the engine or a
# server, not on the processor.
ctest -j"$(nproc)" --output-on-failure --timeout 300 | tee "$build/ctest.log"
status=${PIPESTATUS[0]}
[ "$status" -eq 0 ] || exit "$status"

# The suite once more, built with AddressSanitizer and UndefinedBehaviorSanitizer.
"$root/scripts/sanitize.sh"

# The Debian package: built, listed, checked by lintian.
"$root/scripts/package.sh"

# Every reader of outside data under the fuzzer for 30 s per target; a crash,
# hang or broken property found there fails the run.
"$root/scripts/fuzz.sh" 30

# The tests' closing lines once more, after the fuzzer's output.
grep -E "tests passed|Total Test time" "$build/ctest.log"
