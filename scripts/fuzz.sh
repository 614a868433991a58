#!/bin/bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehavior-
# Sanitizer) in build/fuzz (or $ZENTROW_FUZZ_BUILD) and runs each for
# SECONDS (default 600) from its seeds, the real palettes
# (../shared/kcf-corpus, when present) and its crashers: the module's
# targets, then plughost's own readers, whose single allocations are held
# to 64 MiB so that a few bytes asking for gigabytes is a finding. What a
# target finds is kept in build/fuzz/findings/TARGET/ and makes the run
# fail; the corpus grown in build/fuzz/corpus/ is kept for the next run.
# A target with a dictionary (fuzz/TARGET.dict) is given it.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
build=${ZENTROW_FUZZ_BUILD:-build/fuzz}
targets=(kiss_open_fuzzer kiss_host_fuzzer text_fuzzer image_fuzzer netpbm_fuzzer
         palette_text_fuzzer palette_notes_fuzzer property_list_fuzzer
         cel_fuzzer configuration_fuzzer lha_archive_fuzzer)
[ $# -gt 1 ] && targets=("${@:2}")

cmake -S . -B "$build" -G Ninja -DZENTROW_FUZZ=ON -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  >/dev/null || exit 1
cmake --build "$build" -j 2 --target "${targets[@]}" >/dev/null || {
  echo "building the fuzz targets failed"; exit 1; }

corpus=../shared/kcf-corpus
[ -d "$corpus" ] || echo "no real palettes at $corpus: starting from the samples alone"
seeds_of() {
  case "$1" in
    kiss_open_fuzzer) echo "tests/data/kiss $corpus" ;;
    palette_notes_fuzzer) echo "fuzz/seeds/$1 tests/data/kiss $corpus" ;;
    *) echo "fuzz/seeds/$1" ;;
  esac
}
limits_of() {
  case "$1" in
    kiss_*|text_fuzzer) ;;
    *) echo "-malloc_limit_mb=64" ;;
  esac
  [ -f "fuzz/$1.dict" ] && echo "-dict=fuzz/$1.dict"
}

status=0
for target in "${targets[@]}"; do
  work="$build/corpus/$target"
  findings="$build/findings/$target/"
  log="$build/$target.log"
  mkdir -p "$work" "$findings"
  dirs=("$work")
  for d in $(seeds_of "$target") "tests/crashers/$target"; do [ -d "$d" ] && dirs+=("$d"); done
  # shellcheck disable=SC2046
  "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 $(limits_of "$target") \
    -artifact_prefix="$findings" "${dirs[@]}" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  if [ $rc -eq 0 ]; then
    echo "$target: ${runs:-?} executions in $seconds s, no finding (corpus $(ls "$work" | wc -l) inputs)"
  else
    echo "$target: FINDING (exit $rc); input in $findings, log $log:"
    grep -E "broken:|ERROR:|runtime error|SUMMARY" "$log" | head -5
    status=1
  fi
done
exit $status
