#!/bin/sh
# Builds the data-file fuzzer with clang into build/fuzz and runs it on the committed seed
# corpus for the given number of seconds (default 45). Exit status 0: nothing found.
set -eu
seconds=${1:-45}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"

# Warnings are the main builds' business; this build only has to produce the fuzzer.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANTEL_FUZZ=ON -DVANTEL_TESTS=OFF -DVANTEL_WERROR=OFF >/dev/null
cmake --build "$build" -j2 --target datafile_fuzz

# New inputs go to a scratch corpus, so the committed seeds stay as they are.
work="$build/corpus-datafile"
mkdir -p "$work"
# Every clean read is saved again (with an fsync): a memory file system keeps that cheap.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
# -close_fd_mask=2 silences the reader's messages; libFuzzer keeps its own output and the
# sanitizer reports on a copy of standard error.
exec "$build/fuzz/datafile_fuzz" -max_total_time="$seconds" -timeout=10 -max_len=8192 \
  -close_fd_mask=2 -print_final_stats=1 "$work" "$root/fuzz/corpus/datafile"
