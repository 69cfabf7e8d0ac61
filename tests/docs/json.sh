#!/usr/bin/env bash
# Every line of the --json report of each mode parses, holds the keys the man page names for its
# type in that order, ends with the summary that carries the exit status, and names every file
# with its exact bytes (invalid UTF-8, tabs), while a name with a line break shows as a warning.
# Usage: json.sh PROGRAM MANPAGE
set -u
program=$(realpath "$1")
manpage=$(realpath "$2")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
export TZ=UTC LC_ALL=C

mkdir -p tree/sub tree/copy
printf 'same' >tree/a.txt
printf 'same' >tree/copy/a.txt
printf 'odd' >"tree/$(printf 'bad\xff\xfe name')"
printf 'tab' >"tree/$(printf 'with\ttab')"
printf 'nl' >"tree/$(printf 'line\nbreak')"
printf 'deep' >tree/sub/d.txt

failed=0
runner=()
# run LABEL ARGS...: the report of one run, checked against the man page.
run() {
  local label=$1
  shift
  "${runner[@]}" "$program" --json "$@" >"$label.out" 2>"$label.err"
  local status=$?
  python3 - "$manpage" "$label.out" "$status" "$scratch/tree" <<'PY' || { echo "$label: $*"; failed=1; }
import base64, json, os, re, sys
manpage, out, status, tree = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
# "Keys, in order:" after the type's tag in the JSON REPORT section.
keys, tags, previous = {}, [], ''
for line in open(manpage, encoding="utf-8"):
    m = re.match(r'\.BR? (.*)', line)
    if m and previous == '.TP':
        tags = re.findall(r'(entry|changed|new|missing|kept|moved|group|warning|error|summary)', m.group(1))
    previous = line.strip()
    m = re.match(r'Keys, in order: (.*)\.$', line.strip())
    if m:
        for t in tags:
            keys[t] = [k.strip() for k in m.group(1).split(',')]
lines = open(out, 'rb').read().split(b'\n')
assert lines[-1] == b'', 'the report ends with a line feed'
objects = [json.loads(l.decode('utf-8')) for l in lines[:-1]]
assert objects and objects[-1]['type'] == 'summary', 'the summary comes last'
assert objects[-1]['status'] == status, (objects[-1], status)
for o in objects:
    names = [k for k in o if not k.endswith('_bytes')]
    assert names[0] == 'type', o
    doc = keys[o['type']]
    assert [k for k in doc if k in names] == names, ('order or unknown key', o, doc)
    least = doc[:3] if o['type'] == 'entry' else doc if o['type'] != 'summary' else doc[:2]
    assert all(k in names for k in least + (['status'] if o['type'] == 'summary' else [])), \
        ('missing key', o, doc)
    for k in o:
        if k.endswith('_bytes'):
            raw = base64.b64decode(o[k])
            assert raw.decode('utf-8', 'replace') == o[k[:-6]], o
    for k in ('path', 'from', 'to'):
        if k in o:
            raw = base64.b64decode(o[k + '_bytes']) if k + '_bytes' in o else o[k].encode()
            assert os.path.lexists(raw) or o['type'] in ('missing', 'kept', 'moved'), ('no such path', o)
# An Info listing names every entry of the tree exactly, but the one with a line break.
if objects[-1]['mode'] == 'info':
    listed = {base64.b64decode(o['path_bytes']) if 'path_bytes' in o else o['path'].encode()
              for o in objects if o['type'] == 'entry'}
    wanted = set()
    for d, dirs, files in os.walk(tree.encode()):
        wanted |= {os.path.join(d, n) for n in dirs + files if b'\n' not in n}
    assert listed == wanted, (listed ^ wanted)
    assert any(o['type'] == 'warning' and o['message'].startswith('Name with a line break')
               for o in objects), 'the skipped name is told'
PY
}

run info -s tree
run columns -s -of "NO ID UP FS AT SZ TC TW TA R0 R1 CC FP" tree
run scan -ms -s tree -fc t.crc
rm tree/sub/d.txt
printf 'grown' >>tree/a.txt
mkdir tree/new && printf 'deep' >tree/new/d.txt
run scan-changes -ms -s --moves tree -fc t.crc
run test -mt t.crc
run compare -mc -s t.crc tree
run duplicates -md -s tree
# An archive keeps what went missing and what changed, and says so beside each warning.
rm tree/copy/a.txt
printf 'SAME' >tree/a.txt
run archive -ms -s --archive tree -fc t.crc
grep -q '"type":"kept","path":"[^"]*/copy/a.txt","kind":"file","reason":"missing"' archive.out &&
  grep -q '"type":"kept","path":"[^"]*/tree/a.txt","kind":"file","reason":"changed"' archive.out &&
  grep -q '"archive_missing":1,"status":[0-9]}$' archive.out || { echo "archive: $(cat archive.out)"; failed=1; }
# What cannot be read now is kept as stored, beside its warning (root gives up passing the bits).
if [[ $(id -u) != 0 ]] || command -v setpriv >/dev/null; then
  [[ $(id -u) != 0 ]] || runner=(setpriv --bounding-set=-dac_override,-dac_read_search)
  chmod 000 tree/sub tree/new/d.txt
  run unreadable -ms -s -r tree -fc t.crc
  chmod 755 tree/sub && chmod 644 tree/new/d.txt && runner=()
  grep -q '"type":"kept","path":"[^"]*/tree/sub","kind":"dir","reason":"unreadable"' unreadable.out &&
    grep -q '"type":"kept","path":"[^"]*/new/d.txt","kind":"file","reason":"unreadable"' unreadable.out ||
    { echo "unreadable: $(cat unreadable.out)"; failed=1; }
fi
run refused -zz
run missing -mt nothing.crc
# Under --quiet a run with nothing to report writes nothing, not even the summary.
mkdir clean && printf 'x' >clean/x.txt
"$program" -ms -s clean -fc clean.crc >/dev/null 2>&1
quiet=$("$program" --json --quiet -ms -s clean -fc clean.crc 2>&1)
[[ -z $quiet ]] || { echo "quiet run wrote: $quiet"; failed=1; }
exit $failed
