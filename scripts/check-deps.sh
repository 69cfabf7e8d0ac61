#!/usr/bin/env bash
# Checks that the product's folders include only downward: platform <- core <- store <- modes <- app.
# A file may include its own folder and any folder to its left, never one to its right, and
# never the tests. Every method of Table is defined in core/, where Table is: a definition
# "Table::" in another folder fails too. Prints each offender and exits 1 when there is one.
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

# Definitions of Table's methods elsewhere: "Table::Name(" on a line that starts a definition
# (at the left margin, outside any string or comment).
while IFS= read -r hit; do
  echo "Table method defined outside core/: $hit"
  bad=1
done < <(grep -rnE '^[^"/[:space:]#][^"/]*\bTable::(~?[A-Za-z_][A-Za-z0-9_]*|operator[^(]*)[[:space:]]*\(' \
  --include='*.cpp' --include='*.h' "${LAYERS[@]}" | grep -v '^core/')

if [[ $bad -eq 0 ]]; then
  echo "dependencies: downward only (${LAYERS[*]}); Table's methods all in core/"
fi
exit $bad
