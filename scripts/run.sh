#!/usr/bin/env bash
# Builds the native Release program when needed and lists DIR with its subfolders:
#   scripts/run.sh DIR [more vantel32 arguments]
# Installs the Debian packages of the build first when they are missing.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build/release
if [[ $# -lt 1 ]]; then
  echo "usage: scripts/run.sh DIR [vantel32 arguments]" >&2
  exit 2
fi
"$ROOT/scripts/install-deps.sh" run
if [[ ! -f $BUILD/build.ninja ]]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >&2
fi
cmake --build "$BUILD" -j 2 --target vantel32 >&2
dir=$1
shift
exec "$BUILD/vantel32" -s "$dir" "$@"
