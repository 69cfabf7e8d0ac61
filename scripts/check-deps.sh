#!/usr/bin/env bash
# Checks that the product's folders include only downward: platform <- core <- store <- modes <- app.
# A file may include its own folder and any folder to its left, never one to its right, and
# never the tests. Prints each offending include and exits 1 when there is one.
# Usage: scripts/check-deps.sh   (from anywhere; reads the tree the script lies in)
set -u -o pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
LAYERS=(platform core store modes app)

rank() {
  local i
  for i in "${!LAYERS[@]}"; do
    [[ ${LAYERS[$i]} == "$1" ]] && { echo "$i"; return; }
  done
  echo 99 # anything else (tests, bench, fuzz) is above every product folder
}

# Includes that are known to point upward and are being moved; each line "file -> header".
KNOWN=()

bad=0
cd "$ROOT" || exit 2
while IFS= read -r file; do
  own=$(rank "${file%%/*}")
  while IFS= read -r header; do
    [[ $(rank "${header%%/*}") -le $own ]] && continue
    known=0
    for k in "${KNOWN[@]+"${KNOWN[@]}"}"; do [[ $k == "$file -> $header" ]] && known=1; done
    [[ $known -eq 1 ]] && continue
    echo "upward include: $file -> $header"
    bad=1
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\/[^"]*\)".*/\1/p' "$file")
done < <(find "${LAYERS[@]}" -type f \( -name '*.cpp' -o -name '*.h' \) | sort)

if [[ $bad -eq 0 ]]; then
  echo "dependencies: downward only (${LAYERS[*]})"
fi
exit $bad
