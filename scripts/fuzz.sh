#!/usr/bin/env bash
# `make fuzz`: builds the project with clang, AddressSanitizer, UndefinedBehaviorSanitizer and
# libFuzzer's coverage instrumentation in build-fuzz/, runs its tests there (the clang sanitizer
# build of the tests, replays of every corpus and regression input included), then runs each fuzz
# target for FUZZ_SECONDS seconds (default 60) on its committed corpus and regressions.
#
# New corpus entries go to a scratch folder, so the committed corpus stays as it is; a finding is
# written to build-fuzz/findings/<target>/ and fails the run. To keep it fixed, commit the input
# under fuzz/regressions/<target>/ once the fault is fixed: every build replays it.
#
# FUZZ_TARGETS="fuzz_json fuzz_formula" runs only those; FUZZ_SKIP_TESTS=1 skips the tests;
# FUZZ_NICE=19 runs the fuzzers at that niceness.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
build=${FUZZ_BUILD:-build-fuzz}
jobs=${JOBS:-$(nproc)}
nice_level=${FUZZ_NICE:-0}
# RapidJSON 1.1.0 adds an offset to a null pointer in its internal stack: the one third-party
# report suppressed (see fuzz/ubsan.supp); anything else stops the program.
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$PWD/fuzz/ubsan.supp"
export ASAN_OPTIONS="detect_leaks=1"
# fontconfig (drawn through by the exporter) keeps its configuration for the life of the process.
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp"

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNORVANE_FUZZ=ON \
  -DNORVANE_SANITIZE=ON -DNORVANE_BENCH=OFF > /dev/null
if [ "${FUZZ_SKIP_TESTS:-0}" != 1 ]; then
  cmake --build "$build" -j "$jobs"
  (cd "$build" && ctest --output-on-failure -j "$jobs")
else
  cmake --build "$build" -j "$jobs" --target fuzzers
fi

targets=${FUZZ_TARGETS:-$(cat "$build/fuzz/fuzzers.txt")}
status=0
for target in $targets; do
  scratch=$(mktemp -d)
  findings="$build/findings/$target"
  mkdir -p "$findings"
  inputs=()
  for folder in "fuzz/corpus/$target" "fuzz/regressions/$target"; do
    [ -d "$folder" ] && inputs+=("$folder")
  done
  options=(-max_total_time="$seconds" -timeout=25 -rss_limit_mb=2560 -max_len=65536
           -print_final_stats=1 -artifact_prefix="$findings/")
  [ -f "fuzz/$target.dict" ] && options+=(-dict="fuzz/$target.dict")
  echo "== $target: ${seconds}s"
  if ! nice -n "$nice_level" "$build/fuzz/$target" "${options[@]}" "$scratch" ${inputs[@]+"${inputs[@]}"} \
      > "$build/findings/$target.log" 2>&1; then
    echo "$target: finding, see $build/findings/$target.log and $findings/"
    status=1
  fi
  grep -E "^#[0-9]+ *DONE|stat::number_of_executed_units|stat::peak_rss_mb" "$build/findings/$target.log" || true
  rm -rf "$scratch"
done
exit $status
