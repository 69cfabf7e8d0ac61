#!/bin/sh
# Builds the fuzzers with clang into build/fuzz and runs each on its committed seed corpus for
# the given number of seconds (default 20 each).
#   fuzz/run.sh [seconds] [target...]     targets: datafile parser wildcard (default: all)
# Exit status 0: nothing found by any target.
set -eu
seconds=${1:-20}
[ $# -gt 0 ] && shift
targets=${*:-datafile parser wildcard}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"

# Warnings are the main builds' business; this build only has to produce the fuzzers.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTEL_FUZZ=ON -DVANTEL_TESTS=OFF -DVANTEL_WERROR=OFF >/dev/null
for t in $targets; do
  cmake --build "$build" -j2 --target "${t}_fuzz"
done

# Every clean read of a data file is saved again (with an fsync): a memory file system keeps
# that cheap.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

# Options per target: the longest input worth trying.
max_len() {
  case $1 in
    datafile) echo 8192 ;;
    parser) echo 8192 ;;
    *) echo 600 ;;
  esac
}

failed=""
for t in $targets; do
  echo "=== fuzzing $t for ${seconds}s"
  # New inputs go to a scratch corpus, so the committed seeds stay as they are.
  work="$build/corpus-$t"
  mkdir -p "$work" "$build/artifacts-$t"
  # -close_fd_mask=2 silences the program's own messages; libFuzzer keeps its output and the
  # sanitizer reports on a copy of standard error.
  if ! (cd "$build/artifacts-$t" && "$build/fuzz/${t}_fuzz" -max_total_time="$seconds" -timeout=10 \
    -max_len="$(max_len "$t")" -close_fd_mask=2 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts-$t/" "$work" "$root/fuzz/corpus/$t"); then
    failed="$failed $t"
  fi
done
if [ -n "$failed" ]; then
  echo "fuzz/run.sh: findings in:$failed (inputs in $build/artifacts-<target>/)" >&2
  exit 1
fi
echo "fuzz/run.sh: no findings"
