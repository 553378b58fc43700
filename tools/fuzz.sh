#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) in build-fuzz/
# and runs each in turn for a chosen time, one job and one worker at a time.
#
#   tools/fuzz.sh                 every target, 60 s each
#   tools/fuzz.sh 600             every target, 10 minutes each
#   tools/fuzz.sh 600 fuzz_store  one target
#   HALVO_FUZZ_BUILD=dir          another build folder
#
# The seed corpora in fuzz/corpus/<target>/ stay as they are: new inputs go to
# build-fuzz/corpus/<target>/, crashes to build-fuzz/findings/<target>/.
# Each run's log (with libFuzzer's cov:/ft: lines) is build-fuzz/logs/<target>.log.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_read_params fuzz_store fuzz_coeff_csv fuzz_reports)
build=${HALVO_FUZZ_BUILD:-build-fuzz}

if [ ! -f "$build/build.ninja" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DHALVO_FUZZ=ON -DHALVO_BUILD_TESTS=OFF -DHALVO_BUILD_DESKTOP=OFF >&2
fi
cmake --build "$build" -j2 --target "${targets[@]}" >&2

root=$(pwd)
failed=()
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t" "$build/findings/$t"
  logs="$root/$build/logs/$t"
  rm -rf "$logs" && mkdir -p "$logs"
  echo "fuzz: $t for ${seconds}s" >&2
  status=0
  # One job, one worker: libFuzzer then writes the run's log to fuzz-0.log in the folder it starts in.
  (cd "$logs" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    nice -n 10 "$root/$build/fuzz/$t" -jobs=1 -workers=1 -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 -artifact_prefix="$root/$build/findings/$t/" \
      "$root/$build/corpus/$t" "$root/fuzz/corpus/$t") >"$logs/driver.log" 2>&1 || status=$?
  grep -E "^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE)" "$logs/fuzz-0.log" | tail -n 1 >&2 || true
  grep -E "^(stat::|SUMMARY|halvo fuzz)" "$logs/fuzz-0.log" >&2 || true
  if [ "$status" -ne 0 ] || grep -q -E "^(==[0-9]+==ERROR|SUMMARY: )" "$logs/fuzz-0.log"; then
    echo "fuzz: $t found a fault; see $logs/fuzz-0.log and $build/findings/$t/" >&2
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: faults found by ${failed[*]}" >&2
  exit 1
fi
