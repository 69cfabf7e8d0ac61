#!/usr/bin/env bash
# The heavy cases, run on demand: a generated tree of 1,000,000 entries (10,000 directories of
# 99 files) and one directory of 200,000 files. On each: Info /s, Scan /s twice (the second
# must report nothing) and /md /s, with wall time and peak memory from /usr/bin/time -v. The
# trees are kept in build/heavy/ and reused. The target is under 200 MB peak for every run.
#   scripts/heavy.sh [million] [flat]      (no argument: both)
#   VANTEL32=path/to/vantel32 scripts/heavy.sh   uses that program instead of building one
set -u -o pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
HEAVY=$ROOT/build/heavy
LIMIT_KB=$((200 * 1024))
mkdir -p "$HEAVY"

if [[ -z ${VANTEL32:-} ]]; then
  cmake -S "$ROOT" -B "$HEAVY/bin" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTEL_TESTS=OFF >/dev/null || exit 1
  cmake --build "$HEAVY/bin" -j2 --target vantel32 || exit 1
  VANTEL32=$HEAVY/bin/vantel32
fi
[[ -x /usr/bin/time ]] || { echo "heavy.sh: /usr/bin/time is needed (Debian package time)" >&2; exit 1; }

failed=0
# run NAME TREE-RELATIVE-LABEL ARGS...: runs the program in the work folder, prints one line.
run() {
  local label=$1 work=$2
  shift 2
  local log=$work/$label
  (cd "$work" && /usr/bin/time -v -o "$log.time" "$VANTEL32" "$@" >"$log.out" 2>"$log.err")
  local status=$?
  local wall rss
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$log.time")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$log.time")
  local verdict=ok
  if [[ $status -ne 0 ]]; then verdict="exit status $status"; fi
  if [[ ${rss:-0} -gt $LIMIT_KB ]]; then verdict="over 200 MB"; fi
  printf '%-22s wall %9s  peak %7d KB  stdout %8d lines  %s\n' "$label" "$wall" "${rss:-0}" \
    "$(wc -l <"$log.out")" "$verdict"
  [[ $verdict == ok ]] || failed=1
}

heavy_tree() {
  local kind=$1 tree=$HEAVY/$1 work=$HEAVY/work-$1
  echo "=== $kind: generating (reused when present)"
  python3 "$ROOT/scripts/heavy-tree.py" "$kind" "$tree" || { failed=1; return; }
  rm -rf "$work"
  mkdir -p "$work"
  run info "$work" /s "$tree"
  run scan-first "$work" /ms /s "$tree"
  run scan-unchanged "$work" /ms /s "$tree"
  if [[ $(cat "$work/scan-unchanged.out") != "" ]] || [[ $(wc -c <"$work/scan-unchanged.out") -ne 2 ]]; then
    echo "    the second scan reported changes: see $work/scan-unchanged.out"
    failed=1
  fi
  run duplicates "$work" /md /s "$tree"
  echo "    catalogue: $(wc -c <"$work/vantel32.crc") bytes; outputs in $work"
}

kinds=("$@")
[[ ${#kinds[@]} -gt 0 ]] || kinds=(million flat)
for kind in "${kinds[@]}"; do
  case $kind in
    million | flat) heavy_tree "$kind" ;;
    *) echo "unknown case: $kind (million, flat)" >&2; exit 2 ;;
  esac
done
exit $failed
