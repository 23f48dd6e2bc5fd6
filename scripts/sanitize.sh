#!/usr/bin/env bash
# Builds Korvix and its tests with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs the whole suite in that build. A memory error, undefined behaviour
# or a leak in Korvix's own code fails the run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
source "$root/scripts/suite.sh"
build_sanitized

sanitizer_options
# The kill test's 200 kills prove the saves in the plain build; here a few
# suffice to run the save path under the sanitizers.
export KORVIX_KILLS=20
cd "$root/build-asan"
ctest -j"$(nproc)" --output-on-failure --timeout 600

# Two minutes of random user actions on the real program, on a fixed seed so
# that a red run can be replayed: korvix_soak --seed 1 --actions <its step>.
"$root/build-asan/soak/korvix_soak" --seed 1 --minutes 2
