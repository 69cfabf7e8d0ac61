#!/usr/bin/env bash
# Times vantel32 against general checksum and duplicate tools; see bench/peers.py --help.
exec python3 "$(dirname "$0")/peers.py" "$@"
