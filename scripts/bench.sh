#!/bin/bash
# The benchmarks. First the module in one process against its baselines
# (bench/, Google Benchmark: ratios side by side, calls per operation), then
# whole commands: plughost converting a batch of generated palettes to PNG
# in one command, and the images back to palettes one command each, natively
# and with Zentrow.8bi under wine, timed with /usr/bin/time -v.
# Run after scripts/test.sh; installs only what scripts/install-deps.sh does.
#   scripts/bench.sh           200, 2,000 and 20,000 files (about 20 minutes)
#   scripts/bench.sh --quick   200 and 2,000 files, shorter in-process runs
# Results are printed and kept in build/bench-results/. The batches are
# written to tmpfs (/dev/shm) where there is one, so that the figures are
# ours and not the disk's; ZENTROW_BENCH_DIR=DIR puts them elsewhere.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
quick=0
[ "${1:-}" = "--quick" ] && quick=1
sizes=(200 2000 20000)
[ $quick -eq 1 ] && sizes=(200 2000)
# Saves are one process per file; under wine each costs a process start, so
# the largest batch of saves is left out there (see README "Performance").
wine_save_sizes=(200 2000)
# A Windows command line holds at most 32,767 characters.
wine_chunk=2000

bash scripts/install-deps.sh || { echo "installing dependencies failed"; exit 1; }
source scripts/wine-env.sh

results=$root/build/bench-results
mkdir -p "$results"
scratch=${ZENTROW_BENCH_DIR:-/dev/shm}
[ -d "$scratch" ] && [ -w "$scratch" ] || scratch=/tmp
work=$(mktemp -d "$scratch/zentrow-bench.XXXXXX")
cleanup() { zentrow_wine_down; rm -rf "$work"; }
trap cleanup EXIT

step() { echo; echo "== $*"; }
die() { echo "FAILED: $*"; exit 1; }

step "builds (build/bench-native, build/bench-win32)"
cmake -S . -B build/bench-native -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTROW_BENCH=ON \
  -DBUILD_TESTING=OFF >/dev/null || die "native configure"
cmake --build build/bench-native -j "$jobs" >/dev/null || die "native build"
cmake -S . -B build/bench-win32 -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null || die "Windows configure"
cmake --build build/bench-win32 -j "$jobs" >/dev/null || die "Windows build"

find_one() { find "$1" -path '*/CMakeFiles' -prune -o -name "$2" -type f -print | head -1; }
native_host=$(find_one build/bench-native plughost)
win_host=$(find_one build/bench-win32 plughost.exe)
make_batch=build/bench-native/bench/zentrow_make_batch
for f in "$native_host" "$win_host" "$make_batch" "$(dirname "$native_host")/libzentrow.so" \
  "$(dirname "$win_host")/Zentrow.8bi"; do
  [ -n "$f" ] && [ -f "$f" ] || die "a build product is missing (plughost, module or generator)"
done

step "the module in one process (bench/zentrow_bench)"
bench_args=()
[ $quick -eq 1 ] && bench_args=(--benchmark_repetitions=3 --benchmark_min_time=0.05)
build/bench-native/bench/zentrow_bench "${bench_args[@]}" \
  --benchmark_out="$results/module.json" --benchmark_out_format=json |
  tee "$results/module.txt" || die "zentrow_bench"

# measure NAME BUILD FILES COMMAND...: wall time of the command, and the
# peak resident memory of the largest plughost process it ran (each is run
# under /usr/bin/time -v by `timed`), one line into commands.tsv.
measure() {
  local name=$1 build=$2 files=$3
  shift 3
  local start end
  : >"$work/time.txt"
  start=$(date +%s.%N)
  "$@" >"$work/output.txt" 2>&1 || { tail -5 "$work/output.txt"; die "$name, $build, $files files"; }
  end=$(date +%s.%N)
  local rss
  rss=$(awk -F': ' '/Maximum resident set size/ { if ($2 > m) m = $2 } END { print m + 0 }' \
    "$work/time.txt")
  awk -v n="$name" -v b="$build" -v f="$files" -v s="$start" -v e="$end" -v r="$rss" \
    'BEGIN { t = e - s; printf "%s\t%s\t%d\t%.3f\t%.0f\t%.1f\n", n, b, f, t, f / t, r / 1024 }' |
    tee -a "$results/commands.tsv"
}

# timed [wine] PROGRAM ARGS...: one plughost process, its figures appended.
timed() { /usr/bin/time -v -a -o "$ZENTROW_TIME_FILE" "$@"; }

# Both take the module next to the program, and paths relative to the
# batch's folder, which wine maps as they are.
# One palette-to-PNG command for the whole batch (in chunks under wine).
open_batch() {
  local runner=$1 host=$2 batch=$3 out=$4 chunk=$5
  cd "$batch/palettes" || return 1
  local files=(*.kcf)
  local i
  for ((i = 0; i < ${#files[@]}; i += chunk)); do
    timed $runner "$host" open "${files[@]:i:chunk}" --out-dir "../$out" || return 1
  done
}

# One PNG-to-palette command per image.
save_each() {
  local runner=$1 host=$2 batch=$3 out=$4
  cd "$batch/png-native" || return 1
  local f
  for f in *.png; do
    timed $runner "$host" save "$f" --out "../$out/${f%.png}.kcf" || return 1
  done
}
export -f open_batch save_each timed

# A command that only starts, loads the module and reads its property list.
start_each() {
  local runner=$1 host=$2 count=$3
  local i
  for ((i = 0; i < count; ++i)); do timed $runner "$host" info >/dev/null || return 1; done
}
export -f start_each

step "whole commands in $work (what, build, files, seconds, files per second, peak MiB)"
: >"$results/commands.tsv"
export ZENTROW_TIME_FILE=$work/time.txt
zentrow_wine_up "$root/build/bench-win32"
measure start-only native 200 bash -c 'start_each "$@"' _ "" "$root/$native_host" 200
measure start-only wine 200 bash -c 'start_each "$@"' _ wine "$root/$win_host" 200
for n in "${sizes[@]}"; do
  d=$work/$n
  mkdir -p "$d/palettes" "$d/png-native" "$d/png-wine" "$d/kcf-native" "$d/kcf-wine"
  "$make_batch" palettes "$d/palettes" "$n" || die "generating $n palettes"
  measure open-to-png native "$n" bash -c 'open_batch "$@"' _ "" "$root/$native_host" "$d" png-native "$n"
  measure open-to-png wine "$n" bash -c 'open_batch "$@"' _ wine "$root/$win_host" "$d" png-wine "$wine_chunk"
  measure save-from-png native "$n" bash -c 'save_each "$@"' _ "" "$root/$native_host" "$d" kcf-native
  if [[ " ${wine_save_sizes[*]} " == *" $n "* ]]; then
    measure save-from-png wine "$n" bash -c 'save_each "$@"' _ wine "$root/$win_host" "$d" kcf-wine
  fi
  # Every file converted; a 24-bit palette (every third) comes back byte for byte.
  for out in png-native png-wine kcf-native; do
    [ "$(ls "$d/$out" | wc -l)" -eq "$n" ] || die "$out holds $(ls "$d/$out" | wc -l) of $n files"
  done
  cmp -s "$d/palettes/00000.kcf" "$d/kcf-native/00000.kcf" || die "00000.kcf did not come back as it was"
  rm -rf "$d"
done

step "growth with the number of files"
# Linear when the time per file at the largest batch is within 25% of that
# at the batch before it; a start-up cost makes the smallest batch dearer.
awk -F'\t' '
  $1 != "start-only" {
    key = $1 " " $2; k = ++n[key]; f[key, k] = $3; t[key, k] = $4; r[key, k] = $6
  }
  END {
    for (key in n) {
      k = n[key]
      line = sprintf("%-22s ms per file:", key)
      for (i = 1; i <= k; ++i) line = line sprintf(" %.3f (%d)", 1000 * t[key, i] / f[key, i], f[key, i])
      if (k < 2) { print line; continue }
      growth = (t[key, k] / f[key, k]) / (t[key, k - 1] / f[key, k - 1])
      verdict = k < 3 ? "two sizes only" : (growth < 1.25 && growth > 0.8 ? "linear" : "NOT linear")
      printf "%s -> %s (x%.2f per file from %d to %d); peak %.1f -> %.1f MiB\n",
        line, verdict, growth, f[key, k - 1], f[key, k], r[key, 1], r[key, k]
    }
  }' "$results/commands.tsv" | sort | tee "$results/growth.txt"
echo
echo "results in $results"
