#!/bin/bash
# The benchmarks. First the module in one process against its baselines
# (bench/, Google Benchmark: ratios side by side, calls per operation), then
# whole commands on generated palettes, natively and with Zentrow.8bi under
# wine, every process run under /usr/bin/time -v:
#   open batch     one `plughost open FILES... --out-dir DIR --format ppm`
#   kcf_to_ppm.py  the same conversion as a plain Python script, one process
#   I/O floor      bench/io_floor.c: only the file work of that batch (open, read,
#                  close; create, write, close, rename; one sync of the batch),
#                  the least any converter could spend
#   save batch     one `plughost save IMAGES... --out-dir DIR` over those images
#   save each      one `plughost save IMAGE --out FILE.kcf` per image, 200 images
#   start-up       `plughost info` 200 times: starting and loading the module alone
#   every group    `plughost open P.kcf --group all` of one palette of 4,000 groups
#                  of 16 colours beside one `plughost open` of 4,000 palettes of
#                  one such group each, both to PPM: the first costs no more
#   interlaced     one `plughost save` of a 130 KB interlaced 32,767 x 32,767 PNG
#                  (fuzz/make_interlaced_png.py): its top rows cost its passes'
#                  first rows and inflating the data before them, not its area
# The batches run twice natively, in tmpfs and in a folder on disk (where a
# batch's outputs are synced), under wine in tmpfs. Each command runs three
# times (ZENTROW_BENCH_RUNS=N), each after a sync of every file system and
# into an empty output folder, and its median is kept. Then strace counts the
# system calls of open and save batches natively: reads per file, and the
# syncs of a whole batch at two sizes (they must not grow with it).
# Run after scripts/test.sh; installs only what scripts/install-deps.sh does.
#   scripts/bench.sh                natively 200, 2,000 and 20,000 files,
#                                   under wine 200 and 2,000
#   scripts/bench.sh --quick        200 and 2,000 files, shorter in-process runs,
#                                   each command once
#   scripts/bench.sh --native-only  no Windows build and nothing under wine
#                                   (goes with --quick too)
# Results are printed and kept in build/bench-results/: summary.md (the
# table and the ratios), commands.tsv (one line per measurement), module.*
# (in one process), syscalls.tsv. The tmpfs batches are written to /dev/shm
# where there is one (ZENTROW_BENCH_DIR=DIR puts them elsewhere), the disk
# batches to build/ (ZENTROW_BENCH_DISK_DIR=DIR).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
quick=0
wine=1
for arg in "$@"; do
  case $arg in
    --quick) quick=1 ;;
    --native-only) wine=0 ;;
    *) echo "usage: scripts/bench.sh [--quick] [--native-only]"; exit 2 ;;
  esac
done
native_sizes=(200 2000 20000)
[ $quick -eq 1 ] && native_sizes=(200 2000)
# Each whole command is run this many times and its median kept.
runs=${ZENTROW_BENCH_RUNS:-3}
[ $quick -eq 1 ] && runs=1
# Under wine 20,000 files take minutes for nothing new (see README "Performance").
wine_sizes=(200 2000)
[ $wine -eq 0 ] && wine_sizes=()
# One save command per image is only run at this size: its cost per image
# does not depend on how many there are.
each_size=200
# A Windows command line holds at most 32,767 characters.
wine_chunk=2000

bash scripts/install-deps.sh || { echo "installing dependencies failed"; exit 1; }
source scripts/wine-env.sh

results=$root/build/bench-results
mkdir -p "$results"
scratch=${ZENTROW_BENCH_DIR:-/dev/shm}
[ -d "$scratch" ] && [ -w "$scratch" ] || scratch=/tmp
work=$(mktemp -d "$scratch/zentrow-bench.XXXXXX")
disk_scratch=${ZENTROW_BENCH_DISK_DIR:-$root/build}
disk_work=$(mktemp -d "$disk_scratch/zentrow-bench-disk.XXXXXX")
declare -A place_dir=([tmpfs]=$work [disk]=$disk_work)
place_fs() { findmnt -n -o FSTYPE -T "${place_dir[$1]}" 2>/dev/null | head -1; }
wine_is_up=0
cleanup() {
  [ $wine_is_up -eq 1 ] && zentrow_wine_down
  rm -rf "$work" "$disk_work"
}
trap cleanup EXIT

step() { echo; echo "== $*"; }
die() { echo "FAILED: $*"; exit 1; }
in_list() { [[ " ${*:2} " == *" $1 "* ]]; }

step "builds (build/bench-native$([ $wine -eq 1 ] && echo ", build/bench-win32"))"
cmake -S . -B build/bench-native -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTROW_BENCH=ON \
  -DBUILD_TESTING=OFF >/dev/null || die "native configure"
cmake --build build/bench-native -j "$jobs" >/dev/null || die "native build"
if [ $wine -eq 1 ]; then
  cmake -S . -B build/bench-win32 -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null || die "Windows configure"
  cmake --build build/bench-win32 -j "$jobs" >/dev/null || die "Windows build"
fi

find_one() { find "$1" -path '*/CMakeFiles' -prune -o -name "$2" -type f -print | head -1; }
native_host=$root/$(find_one build/bench-native plughost)
make_batch=$root/build/bench-native/bench/zentrow_make_batch
io_floor=$root/build/bench-native/bench/zentrow_io_floor
products=("$native_host" "$make_batch" "$io_floor" "$(dirname "$native_host")/libzentrow.so")
if [ $wine -eq 1 ]; then
  win_host=$root/$(find_one build/bench-win32 plughost.exe)
  products+=("$win_host" "$(dirname "$win_host")/Zentrow.8bi")
fi
for f in "${products[@]}"; do
  [ -f "$f" ] || die "a build product is missing (plughost, module or generator): $f"
done
python_script=$root/bench/kcf_to_ppm.py
python=1
command -v python3 >/dev/null || { python=0; echo "no python3: kcf_to_ppm.py is left out"; }

step "the module in one process (bench/zentrow_bench)"
bench_args=()
[ $quick -eq 1 ] && bench_args=(--benchmark_repetitions=3 --benchmark_min_time=0.05)
build/bench-native/bench/zentrow_bench "${bench_args[@]}" \
  --benchmark_out="$results/module.json" --benchmark_out_format=json |
  tee "$results/module.txt" || die "zentrow_bench"

# measure NAME BUILD FILES OUT COMMAND...: the command run $runs times, each
# time with its output folder OUT empty (an earlier run's moved aside; - for
# none) and every file system synced, so that no run pays for writing out
# what an earlier one left waiting; one line into commands.tsv (or $measure_tsv)
# with the median wall time and the
# peak resident memory of the largest process of any run (each process is run
# under /usr/bin/time -v by `timed`).
moved=0
measure() {
  local name=$1 build=$2 files=$3 out=$4
  shift 4
  local run start end times=()
  : >"$work/time.txt"
  for ((run = 0; run < runs; ++run)); do
    # Moved, not removed: on an ext4 without a journal, files made within
    # 30 s of many removals take minutes to find a free inode (the kernel
    # skips recently freed ones), whichever program makes them.
    [ "$out" = - ] || [ ! -e "$out" ] || mv "$out" "$out.before-$((++moved))"
    sync
    start=$(date +%s.%N)
    "$@" >"$work/output.txt" 2>&1 || { tail -5 "$work/output.txt"; die "$name, $build, $files files"; }
    end=$(date +%s.%N)
    times+=("$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f", e - s }')")
  done
  local rss median
  rss=$(awk -F': ' '/Maximum resident set size/ { if ($2 > m) m = $2 } END { print m + 0 }' \
    "$work/time.txt")
  median=$(printf '%s\n' "${times[@]}" | sort -g | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }')
  awk -v n="$name" -v b="$build" -v f="$files" -v t="$median" -v r="$rss" \
    'BEGIN { printf "%s\t%s\t%d\t%.3f\t%.4f\t%.1f\n", n, b, f, t, 1000 * t / f, r / 1024 }' |
    tee -a "$results/${measure_tsv:-commands.tsv}"
}

# timed [wine] PROGRAM ARGS...: one process, its figures appended.
timed() { /usr/bin/time -v -a -o "$ZENTROW_TIME_FILE" "$@"; }

# Each runs in a folder of the batch with names relative to it, which wine
# maps as they are, and writes into a sibling folder OUT.
# open_batch RUNNER HOST BATCH OUT CHUNK: the palettes to PPM in one command
# (in commands of CHUNK files under wine).
open_batch() {
  local runner=$1 host=$2 out=$4 chunk=$5 i
  cd "$3/kcf" || return 1
  local files=(*.kcf)
  for ((i = 0; i < ${#files[@]}; i += chunk)); do
    timed $runner "$host" open "${files[@]:i:chunk}" --out-dir "../$out" --format ppm || return 1
  done
}

# python_batch SCRIPT BATCH OUT: the same conversion by kcf_to_ppm.py.
python_batch() {
  cd "$2/kcf" || return 1
  timed python3 "$1" "../$3" *.kcf
}

# floor_batch FLOOR BATCH OUT: the file work alone, by io_floor.
floor_batch() {
  cd "$2/kcf" || return 1
  timed "$1" "../$3" *.kcf
}

# save_batch RUNNER HOST BATCH IN OUT CHUNK: the images of IN to palettes in
# one command (in commands of CHUNK files under wine).
save_batch() {
  local runner=$1 host=$2 out=$5 chunk=$6 i
  cd "$3/$4" || return 1
  local files=(*.ppm)
  for ((i = 0; i < ${#files[@]}; i += chunk)); do
    timed $runner "$host" save "${files[@]:i:chunk}" --out-dir "../$out" || return 1
  done
}

# save_each RUNNER HOST BATCH IN OUT: the same, one command per image.
save_each() {
  local runner=$1 host=$2 out=$5 f
  cd "$3/$4" || return 1
  mkdir -p "../$out"
  for f in *.ppm; do
    timed $runner "$host" save "$f" --out "../$out/${f%.ppm}.kcf" || return 1
  done
}

# start_each RUNNER HOST COUNT: a command that only starts, loads the module
# and reads its property list, COUNT times.
start_each() {
  local runner=$1 host=$2 i
  for ((i = 0; i < $3; ++i)); do timed $runner "$host" info >/dev/null || return 1; done
}
export -f open_batch python_batch floor_batch save_batch save_each start_each timed

# save_batch_works RUNNER HOST BUILD: whether this plughost saves several
# images in one command; an older one takes a single IMAGE and --out.
save_batch_works() {
  local probe=$work/probe-$3
  mkdir -p "$probe/ppm"
  "$make_batch" images "$probe/ppm" 2 || return 1
  (cd "$probe/ppm" && $1 "$2" save 00000.ppm 00001.ppm --out-dir ../kcf) >"$probe/output.txt" 2>&1 &&
    [ -f "$probe/kcf/00000.kcf" ] && [ -f "$probe/kcf/00001.kcf" ]
}

# same_files A B: folders A and B hold the same files, byte for byte.
same_files() { diff -rq "$1" "$2" >/dev/null || die "$1 and $2 differ"; }
# count_is FOLDER N
count_is() {
  local n
  n=$(find "$1" -maxdepth 1 -type f | wc -l)
  [ "$n" -eq "$2" ] || die "$1 holds $n of $2 files"
}

step "whole commands in $work ($(place_fs tmpfs)) and $disk_work ($(place_fs disk)) (what, build, files, seconds, ms per file, peak MiB)"
: >"$results/commands.tsv"
: >"$results/absent.tsv"
export ZENTROW_TIME_FILE=$work/time.txt
load=$(cut -d' ' -f1-3 /proc/loadavg)
if [ $wine -eq 1 ]; then
  zentrow_wine_up "$root/build/bench-win32"
  wine_is_up=1
fi
builds=(native)
[ $wine -eq 1 ] && builds+=(wine)
declare -A runner=([native]="" [wine]=wine) host=([native]=$native_host [wine]=${win_host:-})
# Natively a batch is one command whatever its size.
declare -A chunk=([native]=1000000 [wine]=$wine_chunk)
declare -A batch_saves
for b in "${builds[@]}"; do
  if save_batch_works "${runner[$b]}" "${host[$b]}" "$b"; then
    batch_saves[$b]=1
  else
    batch_saves[$b]=0
    echo "save batch ($b): not available (this plughost saves one IMAGE with --out); left out"
    printf 'save-batch\t%s\n' "$b" >>"$results/absent.tsv"
  fi
done

for b in "${builds[@]}"; do
  measure start-only "$b" 200 - bash -c 'start_each "$@"' _ "${runner[$b]}" "${host[$b]}" 200
done
: >"$results/single.tsv"
if [ $python -eq 1 ]; then
  python3 fuzz/make_interlaced_png.py 32767 "$work/interlaced.png" || die "making the interlaced PNG"
  for b in "${builds[@]}"; do
    (cd "$work" && measure_tsv=single.tsv measure interlaced-png "$b" 1 - \
      timed ${runner[$b]} "${host[$b]}" save interlaced.png --out "interlaced-$b.kcf" --force) || exit 1
  done
fi
# batches PLACE N: every measurement of N files in PLACE (tmpfs or disk);
# on disk the builds are labelled "native-disk" and "python3-disk".
batches() {
  local place=$1 n=$2 d=${place_dir[$1]}/$2 b label suffix=""
  [ "$place" = disk ] && suffix=-disk
  mkdir -p "$d/kcf"
  "$make_batch" palettes "$d/kcf" "$n" || die "generating $n palettes"
  for b in "${builds[@]}"; do
    if [ "$b" != native ]; then
      [ "$place" = tmpfs ] && in_list "$n" "${wine_sizes[@]}" || continue
    fi
    label=$b$suffix
    measure open-batch "$label" "$n" "$d/ppm-$b" bash -c 'open_batch "$@"' _ "${runner[$b]}" "${host[$b]}" \
      "$d" "ppm-$b" "${chunk[$b]}"
    count_is "$d/ppm-$b" "$n"
    if [ "$b" = native ]; then
      measure io-floor "c$suffix" "$n" "$d/ppm-floor" bash -c 'floor_batch "$@"' _ "$io_floor" "$d" ppm-floor
      count_is "$d/ppm-floor" "$n"
    fi
    if [ "$b" = native ] && [ $python -eq 1 ]; then
      measure kcf_to_ppm.py "python3$suffix" "$n" "$d/ppm-python" bash -c 'python_batch "$@"' _ "$python_script" \
        "$d" ppm-python
      same_files "$d/ppm-native" "$d/ppm-python"
    fi
    [ "$b" = native ] || same_files "$d/ppm-native" "$d/ppm-$b"
    if [ "${batch_saves[$b]}" -eq 1 ]; then
      measure save-batch "$label" "$n" "$d/kcf-$b" bash -c 'save_batch "$@"' _ "${runner[$b]}" "${host[$b]}" \
        "$d" "ppm-$b" "kcf-$b" "${chunk[$b]}"
      count_is "$d/kcf-$b" "$n"
      # A 24-bit palette (every third) comes back byte for byte.
      cmp -s "$d/kcf/00000.kcf" "$d/kcf-$b/00000.kcf" || die "00000.kcf did not come back ($b)"
    fi
    if [ "$n" -eq $each_size ] && [ "$place" = tmpfs ]; then
      measure save-each "$b" "$n" "$d/kcf-each-$b" bash -c 'save_each "$@"' _ "${runner[$b]}" "${host[$b]}" "$d" \
        "ppm-$b" "kcf-each-$b"
      count_is "$d/kcf-each-$b" "$n"
      cmp -s "$d/kcf/00000.kcf" "$d/kcf-each-$b/00000.kcf" || die "00000.kcf did not come back"
      [ "${batch_saves[$b]}" -eq 0 ] || same_files "$d/kcf-$b" "$d/kcf-each-$b"
    fi
  done
  # On disk everything stays until the end, for the reason given at measure.
  [ "$place" = disk ] || rm -rf "$d"
}

for place in tmpfs disk; do
  for n in "${native_sizes[@]}"; do batches "$place" "$n"; done
done

# Every group of one palette beside a batch of one-group palettes: the same
# images made, the palette read once rather than each file opened.
: >"$results/groups.tsv"
groups_dir=${place_dir[tmpfs]}/groups
mkdir -p "$groups_dir/one"
"$make_batch" groups "$groups_dir" 4000 || die "generating a palette of 4,000 groups"
measure_tsv=groups.tsv measure open-group-all native 4000 "$groups_dir/ppm-all" \
  bash -c 'cd "$1" && timed "$2" open groups.kcf --group all --out-dir ppm-all --format ppm' _ \
  "$groups_dir" "$native_host"
count_is "$groups_dir/ppm-all" 4000
measure_tsv=groups.tsv measure open-one-group-batch native 4000 "$groups_dir/ppm-one" \
  bash -c 'cd "$1/one" && timed "$2" open *.kcf --out-dir ../ppm-one --format ppm' _ \
  "$groups_dir" "$native_host"
count_is "$groups_dir/ppm-one" 4000
cmp -s "$groups_dir/ppm-all/groups-1234.ppm" "$groups_dir/ppm-one/01234.ppm" ||
  die "group 1234 and the palette of that group alone gave different images"
rm -rf "$groups_dir"

# counted PLACE COMMAND N: one native batch of N files under strace -f -c;
# one line into syscalls.tsv: per file the reads (read, pread64) and every
# system call, and the batch's syncs (fsync, fdatasync, syncfs) in all.
counted() {
  local place=$1 what=$2 n=$3 d=${place_dir[$1]}/strace-$3
  mkdir -p "$d/kcf"
  "$make_batch" palettes "$d/kcf" "$n" || die "generating $n palettes"
  (cd "$d/kcf" && "$native_host" open *.kcf --out-dir ../ppm --format ppm >/dev/null 2>&1) ||
    die "open batch for strace"
  local dir=kcf out=ppm-counted
  [ "$what" = save-batch ] && dir=ppm
  (
    cd "$d/$dir" || exit 1
    if [ "$what" = save-batch ]; then
      strace -f -c -o "$work/strace.txt" "$native_host" save *.ppm --out-dir ../$out
    else
      strace -f -c -o "$work/strace.txt" "$native_host" open *.kcf --out-dir ../$out --format ppm
    fi
  ) >/dev/null 2>&1 || die "$what under strace, $n files"
  count_is "$d/$out" "$n"
  awk -v w="$what" -v p="$place" -v n="$n" '
    $NF ~ /^(read|pread64|readv)$/ { reads += $4 }
    $NF ~ /^(fsync|fdatasync|syncfs)$/ { syncs += $4 }
    $NF == "total" { all = $4 }
    END { printf "%s\t%s\t%d\t%.2f\t%d\t%.1f\n", w, p, n, reads / n, syncs, all / n }' \
    "$work/strace.txt" | tee -a "$results/syscalls.tsv"
  rm -rf "$d"
}

: >"$results/syscalls.tsv"
if command -v strace >/dev/null; then
  step "system calls (what, where, files, reads per file, syncs in all, system calls per file)"
  for place in tmpfs disk; do
    for what in open-batch save-batch; do
      for n in 200 2000; do counted "$place" "$what" "$n"; done
    done
  done
else
  echo "no strace: the system calls are left out"
fi

step "summary"
{
  echo "Whole commands, $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git rev-parse --short HEAD)$(
    git diff --quiet HEAD 2>/dev/null || echo ' with local changes'), $(nproc) cores, load" \
    "average $load at the start, batches in $scratch ($(place_fs tmpfs)) and $disk_scratch" \
    "($(place_fs disk)), each command the median of $runs run$([ "$runs" -eq 1 ] || echo s)" \
    "after a sync$([ $quick -eq 1 ] && echo ', --quick')."
  echo
  awk -F'\t' -v each="$each_size" '
    function thousands(n,   s) {
      s = sprintf("%d", n)
      while (s ~ /[0-9][0-9][0-9][0-9]/) sub(/[0-9][0-9][0-9]($|,)/, ",&", s)
      return s
    }
    function seconds(t) { return sprintf(t < 10 ? "%.3f s" : "%.1f s", t) }
    function ms(m) { return sprintf(m < 1 ? "%.3f ms" : m < 10 ? "%.2f ms" : "%.1f ms", m) }
    function times(r) { return sprintf(r < 0.1 ? "%.3f×" : r < 10 ? "%.2f×" : "%.0f×", r) }
    # A row for each size at which the open batch (native, build `ours`) and
    # the command `other` (build `theirs`) both ran. With `faster`, the time
    # of the other over that of plughost, at least `goal`; else the other way
    # round, at most `goal` (0: no goal).
    function against(ours, other, theirs, place, label, faster, goal,   i, n, a, o, x, held) {
      a = "open-batch" SUBSEP ours; o = other SUBSEP theirs
      for (i = 1; i <= ns; ++i) {
        n = list[i]
        if (!((a, n) in m) || !((o, n) in m)) continue
        x = faster ? m[o, n] / m[a, n] : m[a, n] / m[o, n]
        held = faster ? x >= goal : x <= goal
        printf "| open batch (native) vs %s, %s | %s | %s | %s | %s | %s |\n", label, place,
          thousands(n), ms(m[a, n]), ms(m[o, n]),
          faster ? times(x) " faster" : sprintf("%.2f× the floor", x),
          goal == 0 ? "(no goal)" : (faster ? "≥ " : "≤ ") goal "×: " (held ? "met" : "NOT met")
      }
    }
    FILENAME == ARGV[1] { absent[$1, $2] = 1; next }
    {
      key = $1 SUBSEP $2; sizes[$3] = 1; seen[key] = 1
      t[key, $3] = $4; m[key, $3] = $5; r[key, $3] = $6
    }
    END {
      ns = 0
      for (s in sizes) list[++ns] = s + 0
      for (i = 1; i <= ns; ++i) for (j = i + 1; j <= ns; ++j)
        if (list[j] < list[i]) { x = list[i]; list[i] = list[j]; list[j] = x }
      # The smallest, the largest and the one before the largest size of each.
      for (key in seen) for (i = 1; i <= ns; ++i) if ((key, list[i]) in t) {
        if (!(key in first)) first[key] = list[i]
        if (key in last) before[key] = last[key]
        last[key] = list[i]
      }
      split("open-batch native|io-floor c|kcf_to_ppm.py python3|open-batch native-disk|" \
            "io-floor c-disk|kcf_to_ppm.py python3-disk|open-batch wine|save-batch native|" \
            "save-batch native-disk|save-batch wine|save-each native|save-each wine|" \
            "start-only native|start-only wine", rows, "|")
      label["open-batch"] = "palettes → PPM, one `plughost open` command"
      label["kcf_to_ppm.py"] = "palettes → PPM, `bench/kcf_to_ppm.py`, one process"
      label["io-floor"] = "the file work alone, `bench/io_floor.c` (the I/O floor)"
      label["save-batch"] = "PPM → palette, one `plughost save` command"
      label["save-each"] = "PPM → palette, one `plughost save` per image"
      label["start-only"] = "`plughost info` per command (start-up alone)"
      head = "| command | build |"; rule = "|---|---|"
      for (i = 1; i <= ns; ++i) {
        head = head " " thousands(list[i]) " files |"; rule = rule "---|"
      }
      print head " per file, last two sizes | peak MiB (smallest → largest) |"
      print rule "---|---|"
      for (k = 1; k in rows; ++k) {
        split(rows[k], w, " "); key = w[1] SUBSEP w[2]
        if (!(key in first) && !((w[1], w[2]) in absent)) continue
        line = "| " label[w[1]] " | " w[2] " |"
        if (!(key in first)) {
          for (i = 1; i <= ns; ++i) line = line " not available |"
          print line " | |"; continue
        }
        for (i = 1; i <= ns; ++i) {
          n = list[i]
          line = line ((key, n) in t ? " " seconds(t[key, n]) ", " ms(m[key, n]) " |" : " |")
        }
        growth = ""
        if (key in before) {
          g = m[key, last[key]] / m[key, before[key]]
          # Judged only above the smallest batch, where the start-up weighs.
          verdict = before[key] == list[1] ? "" : g > 1.2 ? " (NOT flat)" : \
                    g > 0.8 ? " (flat)" : " (start-up still weighs)"
          growth = sprintf("×%.2f from %s to %s%s", g, thousands(before[key]),
                           thousands(last[key]), verdict)
        }
        print line " " growth " | " r[key, first[key]] " → " r[key, last[key]] " |"
      }
      print ""
      print "| comparison | files | plughost per file | other per file | ratio | goal |"
      print "|---|---|---|---|---|---|"
      # The script a user would write: at least 3× in tmpfs, 2× on disk; the
      # file work alone: plughost within 2× of it in tmpfs.
      against("native", "kcf_to_ppm.py", "python3", "tmpfs", "kcf_to_ppm.py", 1, 3)
      against("native-disk", "kcf_to_ppm.py", "python3-disk", "disk", "kcf_to_ppm.py", 1, 2)
      against("native", "io-floor", "c", "tmpfs", "the I/O floor", 0, 2)
      against("native-disk", "io-floor", "c-disk", "disk", "the I/O floor", 0, 0)
      split("native wine", builds, " ")
      for (k = 1; k in builds; ++k) {
        b = builds[k]; s = "save-batch" SUBSEP b; e = "save-each" SUBSEP b
        if (!((e, each) in m)) continue
        if (("save-batch", b) in absent) {
          printf "| save batch (%s) vs one command per image | | not available | %s | | ≥ 20× |\n",
            b, ms(m[e, each])
          continue
        }
        for (i = 1; i <= ns; ++i) {
          n = list[i]
          if (!((s, n) in m)) continue
          x = m[e, each] / m[s, n]
          printf "| save batch (%s) vs one command per image (%s) | %s | %s | %s | %s faster | ≥ 20×: %s |\n",
            b, thousands(each), thousands(n), ms(m[s, n]), ms(m[e, each]), times(x),
            (x >= 20 ? "met" : "NOT met")
        }
      }
    }' "$results/absent.tsv" "$results/commands.tsv"
  if [ -s "$results/single.tsv" ]; then
    echo
    echo "| one file | build | seconds | peak MiB |"
    echo "|---|---|---|---|"
    awk -F'\t' '{ printf "| a 130 KB interlaced 32,767 × 32,767 PNG → palette, \`plughost save\` | %s | %.3f s | %.1f |\n", $2, $4, $6 }' \
      "$results/single.tsv"
  fi
  if [ -s "$results/groups.tsv" ]; then
    echo
    echo "| 4,000 images of 16 colours, native, tmpfs | seconds | peak MiB |"
    echo "|---|---|---|"
    awk -F'\t' '
      { t[$1] = $4; r[$1] = $6 }
      END {
        printf "| one palette of 4,000 groups, `open --group all` | %.3f s | %.1f |\n", t["open-group-all"], r["open-group-all"]
        printf "| 4,000 palettes of one group, one `open` | %.3f s | %.1f |\n", t["open-one-group-batch"], r["open-one-group-batch"]
        x = t["open-group-all"] / t["open-one-group-batch"]
        printf "| ratio | %.2f× | ≤ 1×: %s |\n", x, x <= 1 ? "met" : "NOT met"
      }' "$results/groups.tsv"
  fi
  if [ -s "$results/syscalls.tsv" ]; then
    echo
    echo "| system calls (strace -f -c), native | where | files | reads per file | syncs in all | all per file |"
    echo "|---|---|---|---|---|---|"
    awk -F'\t' '{ printf "| %s | %s | %d | %s | %d | %s%s |\n", $1, $2, $3, $4, $5, $6,
                  ($1 == "open-batch" && $3 >= 2000 ? ($6 <= 12 ? " (≤ 12: met)" : " (≤ 12: NOT met)") : "") }' \
      "$results/syscalls.tsv"
  fi
} | tee "$results/summary.md"
echo
echo "results in $results"
