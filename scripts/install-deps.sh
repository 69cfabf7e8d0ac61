#!/usr/bin/env bash
# Installs the Debian packages that the named tasks need, when some are missing:
#   scripts/install-deps.sh TASK...   tasks: run release asan win32 arm64 fuzz package bench ci
# As root it runs apt-get itself, otherwise through sudo when there is one; without either it
# names the missing packages and fails. On a system without dpkg it does nothing: the build
# then reports any missing tool by name.
set -euo pipefail

packages_of() {
  case $1 in
    # The tests are configured with the program, though run.sh builds only the program.
    run) echo cmake ninja-build g++ libgtest-dev ;;
    # acl: setfacl for the tests of what a save keeps.
    release | asan) echo cmake ninja-build g++ libgtest-dev acl ;;
    # GoogleTest's sources for the cross build; Wine runs the .exe tests.
    win32) echo cmake ninja-build g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
      googletest wine wine64 libwine fonts-wine ;;
    # clang's LeakSanitizer runtime comes in its own package.
    # The cross compiler brings the arm64 C and C++ libraries; qemu-user runs the tests.
    arm64) echo cmake ninja-build g++-aarch64-linux-gnu googletest qemu-user dpkg-dev lintian ;;
    fuzz) echo cmake ninja-build clang libclang-rt-14-dev ;;
    # systemd: systemd-analyze verifies the units offline.
    package) echo cmake ninja-build g++ dpkg-dev groff-base man-db lintian systemd ;;
    bench) echo cmake ninja-build g++ libbenchmark-dev libdeflate-dev python3 time ;;
    ci) for t in release win32 arm64 fuzz package bench; do packages_of "$t"; done ;;
    *)
      echo "install-deps: unknown task: $1 (run release asan win32 arm64 fuzz package bench ci)" >&2
      return 1
      ;;
  esac
}

[[ $# -gt 0 ]] || set -- ci
wanted=()
for task in "$@"; do
  list=$(packages_of "$task") || exit 2
  for pkg in $list; do wanted+=("$pkg"); done
done

if ! command -v dpkg-query >/dev/null 2>&1; then
  echo "install-deps: no dpkg here; install by hand what the build reports missing" >&2
  exit 0
fi

missing=()
for pkg in $(printf '%s\n' "${wanted[@]}" | sort -u); do
  if ! dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done
[[ ${#missing[@]} -gt 0 ]] || exit 0

if [[ $(id -u) -eq 0 ]]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-deps: missing Debian packages: ${missing[*]}" >&2
  echo "install-deps: as root, run: apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}" >&2
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update >&2
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y --no-install-recommends "${missing[@]}" </dev/null >&2
