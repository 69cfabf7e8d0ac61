#!/usr/bin/env bash
# The bash completion (file $1) offers options only where one can stand, and values of --jobs;
# with the program ($2), every long option its usage text lists.
set -u
source "$1"
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT && cd "$dir" && touch -- -x || exit 1
failed=0
# Words of the command line (the last is the one completed), then the expected offer.
check() {
  local want=${*: -1}
  COMP_WORDS=("${@:1:$#-1}")
  COMP_CWORD=$(($# - 2))
  _vantel32
  if [[ "${COMPREPLY[*]}" != "$want" ]]; then
    printf '%s: offered "%s", expected "%s"\n' "${COMP_WORDS[*]}" "${COMPREPLY[*]}" "$want"
    failed=1
  fi
}
check vantel32 -n '-na -ns -nt -nc -np'
check vantel32 '-?' '-?'  # not the file -x, which the pattern -? matches
check vantel32 --jobs = '1 2 4 8 16 32 64'
check vantel32 --jobs = 5 ''
check vantel32 --jobs 6 '64'
check vantel32 -- -  ''  # file names only
check vantel32 --qu '--quiet'
check vantel32 --time '--time-window='
check vantel32 --st '--stored'
check vantel32 --ex '--exclude='
check vantel32 --one '--one-file-system'
check vantel32 --ar '--archive'
check vantel32 --accept- '--accept-damaged --accept-missing --accept-empty'
if [[ -n ${2:-} ]]; then
  COMP_WORDS=(vantel32 --) COMP_CWORD=1
  _vantel32
  offered=" ${COMPREPLY[*]} "
  while read -r option; do
    [[ $offered == *" $option "* ]] || { echo "usage lists $option, completion does not"; failed=1; }
  done < <("$2" --help | grep -o -- '^   --[a-z-]*=\?' | sed 's/^ *//')
fi
exit $failed
