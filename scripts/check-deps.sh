#!/usr/bin/env bash
# Checks that the product's folders include only downward: platform <- core <- store <- modes <- app.
# A file may include its own folder and any folder to its left, never one to its right, and
# never the tests, whether the include is written with quotes or angle brackets. Every method of
# Table is defined in core/, where Table is: a definition "Table::" in another folder fails too,
# indented or not. Conditional compilation lives in platform/ alone: any #if, #ifdef, #ifndef or
# #elif elsewhere fails, except an include guard (#ifndef X followed by #define X).
# Prints each offender and exits 1 when there is one.
# Usage: scripts/check-deps.sh   (from anywhere; reads the tree the script lies in)
set -u -o pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
LAYERS=(platform core store modes app)
# Folders outside the product that an include may still name, and that the #if rule covers.
OTHERS=(tests bench fuzz)

rank() {
  local i
  for i in "${!LAYERS[@]}"; do
    [[ ${LAYERS[$i]} == "$1" ]] && { echo "$i"; return; }
  done
  echo 99 # anything else (tests, bench, fuzz) is above every product folder
}

# Includes that are known to point upward and are being moved; each line "file -> header".
KNOWN=()

# The project headers a file includes: every quoted path with a folder, and angle-bracket paths
# whose first folder is one of the project's (<sys/stat.h> is the system's).
included() {
  sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\/[^"]*\)".*/\1/p' "$1"
  local h
  while IFS= read -r h; do
    for k in "${LAYERS[@]}" "${OTHERS[@]}"; do [[ ${h%%/*} == "$k" ]] && echo "$h"; done
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<\([^>]*\/[^>]*\)>.*/\1/p' "$1")
}

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
  done < <(included "$file")
done < <(find "${LAYERS[@]}" -type f \( -name '*.cpp' -o -name '*.h' \) | sort)

# Definitions of Table's methods elsewhere: "Table::Name(" after a return type (or as the
# constructor or destructor), at any indentation, outside any string or comment. A call such as
# "return Table::Name(" or "x = Table::Name(" is not a definition.
while IFS= read -r hit; do
  echo "Table method defined outside core/: $hit"
  bad=1
done < <(grep -rnE '^[[:space:]]*([^"/#[:space:]=(;{}][^"/=(;{}]*[[:space:]*&]+)?Table::(~?[A-Za-z_][A-Za-z0-9_]*|operator[^(]*)[[:space:]]*\(' \
  --include='*.cpp' --include='*.h' "${LAYERS[@]}" | grep -v '^core/' |
  grep -vE '^[^:]*:[0-9]+:[[:space:]]*(return|case|else|co_return|throw)[[:space:]]' |
  grep -E '^[^:]*:[0-9]+:[[:space:]]*([^[:space:]].*[[:space:]*&]+Table::|Table::~?Table[[:space:]]*\()')

# Conditional compilation outside platform/: an #ifndef directly followed by the #define of the
# same name is an include guard and passes.
while IFS= read -r file; do
  awk -v f="$file" '
    guard != "" { if ($0 !~ "^[[:space:]]*#[[:space:]]*define[[:space:]]+" guard "([[:space:]]|$)") print f ":" line ": " text; guard = ""; next }
    /^[[:space:]]*#[[:space:]]*ifndef[[:space:]]/ { guard = $0; sub(/^[[:space:]]*#[[:space:]]*ifndef[[:space:]]+/, "", guard); sub(/[[:space:]].*$/, "", guard); line = NR; text = $0; next }
    /^[[:space:]]*#[[:space:]]*(if|ifdef|elif|elifdef|elifndef)([[:space:](!]|$)/ { print f ":" NR ": " $0 }
    END { if (guard != "") print f ":" line ": " text }
  ' "$file" | sed 's/^/conditional compilation outside platform\/: /'
done < <(find "${LAYERS[@]:1}" "${OTHERS[@]}" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) 2>/dev/null | sort) |
  { found=0; while IFS= read -r line; do echo "$line"; found=1; done; exit $found; } || bad=1

if [[ $bad -eq 0 ]]; then
  echo "dependencies: downward only (${LAYERS[*]}); Table's methods all in core/; #if only in platform/"
fi
exit $bad
