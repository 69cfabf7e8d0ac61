#!/usr/bin/env bash
# The heavy cases, run on demand: a generated tree of 1,000,000 entries (10,000 directories of
# 99 files) and one directory of 200,000 files. On each: Info /s, Scan /s twice (the second
# must report nothing) and /md /s, with wall time and peak memory from /usr/bin/time -v. The
# trees are kept in build/heavy/ and reused. The target is under 200 MB peak for every run.
# The moves case catalogues a million tree whose first half (500,000 entries) sits in one
# folder, renames that folder and times Scan with and without --moves, alternately, ROUNDS
# times (default 3); the target is --moves within 1.2x of the plain Scan.
# Peak memory where Scan --moves grows the table: the grow case catalogues a million tree and
# scans it with 500,000 new entries beside it (target 170 MB); the renamed case catalogues three
# million entries, renames half of them and scans (target 150 bytes per stored entry). Their
# trees are hard-linked copies of the million tree.
#   scripts/heavy.sh [million] [flat] [moves] [grow] [renamed]   (no argument: million and flat)
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
  local wall rss cpu
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$log.time")
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$log.time")
  cpu=$(awk -F': ' '/User time|System time/ { s += $2 } END { printf "%.2f", s }' "$log.time")
  local verdict=ok
  if [[ $status -ne 0 ]]; then verdict="exit status $status"; fi
  if [[ ${rss:-0} -gt $LIMIT_KB ]]; then verdict="over $((LIMIT_KB / 1024)) MB"; fi
  printf '%-22s wall %9s  cpu %7ss  peak %7d KB  stdout %8d lines  %s\n' "$label" "$wall" \
    "$cpu" "${rss:-0}" "$(wc -l <"$log.out")" "$verdict"
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

# Seconds of a run's wall and cpu time, from its /usr/bin/time log.
seconds() {
  awk -F': ' '/Elapsed/ { n = split($2, t, ":"); w = 0; for (i = 1; i <= n; ++i) w = w * 60 + t[i] }
              /User time|System time/ { c += $2 } END { printf "%.2f %.2f\n", w, c }' "$1"
}

moves_case() {
  local tree=$HEAVY/moves work=$HEAVY/work-moves rounds=${ROUNDS:-3}
  echo "=== moves: generating (reused when present)"
  python3 "$ROOT/scripts/heavy-tree.py" million "$tree" || { failed=1; return; }
  [[ -d $tree/moved ]] && mv "$tree/moved" "$tree/half"
  if [[ ! -d $tree/half ]]; then
    mkdir "$tree/half" && mv "$tree"/d0[0-4]? "$tree/half/" || { failed=1; return; }
  fi
  rm -rf "$work"
  mkdir -p "$work"
  run catalogue "$work" /ms /s "$tree" /fc base.crc
  mv "$tree/half" "$tree/moved"
  local i
  for ((i = 1; i <= rounds; i++)); do
    cp "$work/base.crc" "$work/plain.crc"
    run "scan-plain-$i" "$work" /ms /s "$tree" /fc plain.crc
    cp "$work/base.crc" "$work/moves.crc"
    run "scan-moves-$i" "$work" /ms /s --moves "$tree" /fc moves.crc
  done
  mv "$tree/moved" "$tree/half"
  echo "    moves report: $(grep -c '^> ' "$work/scan-moves-1.out") move lines, $(grep -c '^[-+] ' "$work/scan-moves-1.out") new/missing lines"
  if ! cmp -s "$work/plain.crc" "$work/moves.crc"; then
    echo "    the saved catalogues differ with and without --moves"
    failed=1
  fi
  # Medians of the rounds and the ratio --moves / plain, for wall and cpu time.
  for kind in plain moves; do
    for ((i = 1; i <= rounds; i++)); do seconds "$work/scan-$kind-$i.time"; done |
      sort -n -k1,1 | awk -v k="$kind" '{ w[NR] = $1 } END { print k, w[int((NR + 1) / 2)] }'
    for ((i = 1; i <= rounds; i++)); do seconds "$work/scan-$kind-$i.time"; done |
      sort -n -k2,2 | awk -v k="$kind" '{ c[NR] = $2 } END { print k "-cpu", c[int((NR + 1) / 2)] }'
  done | awk '{ v[$1] = $2 } END {
    rw = v["moves"] / v["plain"]; rc = v["moves-cpu"] / v["plain-cpu"]
    printf "    median wall: plain %.2f s, --moves %.2f s, ratio %.3f\n", v["plain"], v["moves"], rw
    printf "    median cpu:  plain %.2f s, --moves %.2f s, ratio %.3f\n", v["plain-cpu"], v["moves-cpu"], rc
    if (rc > 1.2) { print "    over 1.2x"; exit 1 } }' || failed=1
}

# The million tree, made once for the cases that copy it.
million_source() {
  python3 "$ROOT/scripts/heavy-tree.py" million "$HEAVY/million"
}

grow_case() {
  local tree=$HEAVY/grow work=$HEAVY/work-grow
  echo "=== grow: generating (reused when present)"
  million_source || { failed=1; return; }
  if [[ ! -d $tree ]]; then
    mkdir -p "$tree/new" && cp -al "$HEAVY/million" "$tree/stored" &&
      cp -al "$HEAVY/million"/d0[0-4]? "$tree/new/" || { failed=1; return; }
  fi
  rm -rf "$work"
  mkdir -p "$work"
  mv "$tree/new" "$work/new"
  run catalogue "$work" /ms /s "$tree" /fc grow.crc
  mv "$work/new" "$tree/new"
  LIMIT_KB=$((170 * 1024)) run scan-moves "$work" /ms /s --moves "$tree" /fc grow.crc
  echo "    $(grep -c '^+ ' "$work/scan-moves.out") new lines"
}

renamed_case() {
  local tree=$HEAVY/renamed work=$HEAVY/work-renamed entries=3000003
  local LIMIT_KB=$((entries * 150 / 1024))
  echo "=== renamed: generating (reused when present)"
  million_source || { failed=1; return; }
  local c
  mkdir -p "$tree"
  for c in a b c; do
    [[ -d $tree/$c || $c == a && -d $tree/a2 ]] || cp -al "$HEAVY/million" "$tree/$c" || { failed=1; return; }
  done
  # Back to the names the catalogue is made with.
  [[ -d $tree/a2 ]] && mv "$tree/a2" "$tree/a"
  if [[ -d $tree/b/moved ]]; then
    mv "$tree/b/moved"/* "$tree/b/" && rmdir "$tree/b/moved" || { failed=1; return; }
  fi
  rm -rf "$work"
  mkdir -p "$work"
  run catalogue "$work" /ms /s "$tree" /fc renamed.crc
  mv "$tree/a" "$tree/a2" && mkdir "$tree/b/moved" && mv "$tree/b"/d0[0-4]? "$tree/b/moved/" ||
    { failed=1; return; }
  run scan-moves "$work" /ms /s --moves "$tree" /fc renamed.crc
  local rss
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/scan-moves.time")
  echo "    $((rss * 1024 / entries)) bytes per stored entry; $(grep -c '^> ' "$work/scan-moves.out") move lines"
}

kinds=("$@")
[[ ${#kinds[@]} -gt 0 ]] || kinds=(million flat)
for kind in "${kinds[@]}"; do
  case $kind in
    million | flat) heavy_tree "$kind" ;;
    moves) moves_case ;;
    grow) grow_case ;;
    renamed) renamed_case ;;
    *) echo "unknown case: $kind (million, flat, moves, grow, renamed)" >&2; exit 2 ;;
  esac
done
exit $failed
