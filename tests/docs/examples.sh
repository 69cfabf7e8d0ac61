#!/usr/bin/env bash
# Every example command of the README, the man page and the usage text, run as written in a
# scratch home holding the trees they name, ends with status 0 and no warning or error.
# Usage: examples.sh PROGRAM README MANPAGE
set -u
program=$(realpath "$1")
readme=$(realpath "$2")
manpage=$(realpath "$3")

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export TZ=UTC LC_ALL=C
mkdir -p "$scratch/bin" && ln -s "$program" "$scratch/bin/vantel32"
export PATH=$scratch/bin:$PATH

# A fresh home for each example: the trees the examples name, and the catalogues they read
# before any example has made them.
fresh_home() {
  rm -rf "$scratch/home"
  export HOME=$scratch/home
  mkdir -p "$HOME/photos/trip" "$HOME/music/album" "$HOME/backup" "$HOME/work"
  echo one >"$HOME/photos/a.jpg"
  echo two >"$HOME/photos/trip/b.jpg"
  echo song >"$HOME/music/album/c.mp3"
  cp -a "$HOME/photos" "$HOME/backup/photos" && cp -a "$HOME/photos" "$HOME/photos-moved"
  cd "$HOME/work" && vantel32 -ms -s ~/photos -fc photos.crc >/dev/null 2>&1 </dev/null &&
    vantel32 -ms -s ~/backup/photos -fc backup.crc >/dev/null 2>&1 </dev/null
}

# Command lines in the README's code blocks and between the man page's .EX and .EE.
examples() {
  awk '/^```/ { inside = !inside; next }
       inside && /^vantel32 / && !/\[switch\]/ { sub(/ +# .*/, ""); print }' "$readme"
  awk '/^\.EX/ { inside = 1; next } /^\.EE/ { inside = 0; next }
       inside && /^vantel32 / { print }' "$manpage" |
    sed -e 's/\\-/-/g' -e "s/\\\\(aq/'/g"
  # The usage text's own example of -of.
  vantel32 --help 2>/dev/null | sed -n 's/.*Example: \/of \(".*"\)$/vantel32 -of \1/p'
}

failed=0 count=0
while IFS= read -r line; do
  count=$((count + 1))
  fresh_home || exit 1
  eval "$line" >/dev/null 2>"$scratch/err" </dev/null
  status=$?
  # The question about another target is what the -np and -y examples are about.
  if [[ $status -ne 0 ]] || grep -av 'have different target' "$scratch/err" | grep -q ' \*\*\* '; then
    printf 'exit status %d: %s\n' "$status" "$line"
    cat "$scratch/err"
    failed=$((failed + 1))
  fi
done < <(examples)
printf '%d examples, %d failed\n' "$count" "$failed"
[[ $count -gt 20 && $failed -eq 0 ]]
