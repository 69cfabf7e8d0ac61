#!/usr/bin/env bash
# Builds and tests vantel32 three ways, each in its own folder under build/:
#   release  native Release build, ctest
#   asan     native build with AddressSanitizer and UndefinedBehaviorSanitizer, ctest; then the
#            reader pool's tests built with ThreadSanitizer (build/tsan)
#   win32    MinGW-w64 cross build, ctest running every .exe under Wine (throw-away WINEPREFIX)
#   arm64    aarch64 cross build, ctest running every test under qemu-user, then its .deb checked
#            by lintian
#   fuzz     clang libFuzzer targets, each run briefly on its committed seed corpus
#   package  installs the release build into a temporary prefix, checks the files and the man
#            page, verifies the systemd units, builds the .deb, lists it and runs lintian on it
#            (reuses build/release); a second build in build/package-again must give the same
#            .deb, byte for byte
# Usage: scripts/test-all.sh [release] [asan] [win32] [arm64] [fuzz] [package]   (no argument: all)
# The Debian packages the legs need are installed first when missing (scripts/install-deps.sh).
# Build folders are reused, so a second run is incremental. The last line counts legs:
# "N passed, N failed". The exit status is non-zero when any leg failed.
set -u -o pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build
JOBS=2
TEST_TIMEOUT=900 # seconds per ctest test; a hang fails the leg instead of stalling CI

declare -a SUMMARY=()
PASSED=0
FAILED=0

say() { printf '\n=== %s\n' "$*"; }

# Fails the leg unless every named tool is on the path.
need_tools() {
  local leg=$1 hint=$2 tool
  shift 2
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      printf '*** %s: required tool "%s" not found (%s)\n' "$leg" "$tool" "$hint" >&2
      return 1
    fi
  done
}

# A folder made by another generator (or, for win32, without our toolchain) cannot be reused.
reset_if_foreign() {
  local dir=$1 required=${2:-}
  [[ -f $dir/CMakeCache.txt ]] || return 0
  if ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$dir/CMakeCache.txt" ||
    { [[ -n $required ]] && ! grep -qxF "$required" "$dir/CMakeCache.txt"; }; then
    echo "removing $dir: configured differently"
    rm -rf "$dir"
  fi
}

# configure + build + ctest in one folder; the ctest log is kept for the summary.
build_and_test() {
  local dir=$1
  shift
  reset_if_foreign "$dir"
  cmake -S "$ROOT" -B "$dir" -G Ninja -DVANTEL_WERROR=ON "$@" || return 1
  cmake --build "$dir" -j "$JOBS" || return 1
  (cd "$dir" && ctest -j "$JOBS" --output-on-failure --no-tests=error --timeout "$TEST_TIMEOUT" \
    "${CTEST_EXTRA[@]+"${CTEST_EXTRA[@]}"}" 2>&1 | tee ctest.log)
}

leg_release() {
  need_tools release "install cmake, ninja-build and g++" cmake ninja g++ ctest || return 1
  # The folders include downward only and define Table's methods in core/ alone; a breach fails
  # the leg before it builds.
  "$ROOT/scripts/check-deps.sh" || return 1
  build_and_test "$BUILD/release" -DCMAKE_BUILD_TYPE=Release -DVANTEL_SANITIZE=OFF
}

# What an installed vantel32 consists of, below the prefix.
INSTALLED_FILES=(
  bin/vantel32
  share/man/man1/vantel32.1
  share/bash-completion/completions/vantel32
  share/doc/vantel32/README.md
  share/doc/vantel32/LICENSE
  share/doc/vantel32/examples/photos.conf
  lib/systemd/system/vantel32-check@.service
  lib/systemd/system/vantel32-check@.timer
)
# What the .deb holds in Debian's layout.
PACKAGED_FILES=(usr/bin/vantel32 usr/share/man/man1/vantel32.1.gz
  usr/share/doc/vantel32/{README.md.gz,changelog.gz,copyright,examples/photos.conf}
  usr/lib/systemd/system/vantel32-check@.{service,timer})

# The release build of one folder (configured when new) made into a .deb in another.
build_deb() {
  local dir=$1 out=$2
  shift 2
  reset_if_foreign "$dir"
  cmake -S "$ROOT" -B "$dir" -G Ninja -DVANTEL_WERROR=ON -DCMAKE_BUILD_TYPE=Release \
    -DVANTEL_SANITIZE=OFF "$@" >/dev/null || return 1
  cmake --build "$dir" -j "$JOBS" --target vantel32 || return 1
  mkdir -p "$out" || return 1
  (cd "$dir" && cpack -G DEB -B "$out" >"$out/cpack.log") || { cat "$out/cpack.log"; return 1; }
}

# The copyright file carries the text of LICENSE word for word.
same_licence() {
  diff <(sed -n '/^Permission/,$p' "$ROOT/LICENSE") \
    <(sed -n '/^ Permission/,$p' "$ROOT/packaging/copyright" | sed 's/^ //; s/^\.$//') >&2 ||
    { echo "*** package: packaging/copyright and LICENSE differ" >&2; return 1; }
}

# Any lintian warning or error fails the leg, and so does any hardening tag (those are infos).
lint_deb() {
  local deb=$1 log=$2
  lintian --display-info --fail-on warning "$deb" | tee "$log"
  [[ ${PIPESTATUS[0]} -eq 0 ]] || { echo "*** package: lintian failed or warned" >&2; return 1; }
  ! grep -q ' hardening-' "$log" || { echo "*** package: the binary lacks hardening" >&2; return 1; }
}

leg_package() {
  need_tools package "install cmake, ninja-build, g++, dpkg-dev, groff-base, lintian and systemd" \
    cmake ninja g++ cpack groff dpkg-deb dpkg-shlibdeps lintian strip systemd-analyze || return 1
  local dir=$BUILD/release out=$BUILD/package prefix file deb contents
  # The package's dates: the last commit's unless given, so that two builds give the same bytes.
  SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null)}
  export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-1767225600}
  rm -rf "$out" && mkdir -p "$out" || return 1
  build_deb "$dir" "$out" || return 1
  prefix=$out/prefix
  cmake --install "$dir" --prefix "$prefix" || return 1
  for file in "${INSTALLED_FILES[@]}"; do
    [[ -s $prefix/$file ]] || { echo "*** package: $file not installed" >&2; return 1; }
  done
  "$prefix/bin/vantel32" --version 2>/dev/null | grep -q '^vantel32 ' || return 1
  bash -n "$prefix/share/bash-completion/completions/vantel32" || return 1
  # Any warning of the man macros or of the text fails the leg.
  local warnings
  warnings=$(groff -ww -z -man "$prefix/share/man/man1/vantel32.1" 2>&1)
  [[ -z $warnings ]] || { echo "*** package: groff: $warnings" >&2; return 1; }
  same_licence || return 1
  # The units as installed name the installed program, and their Documentation= the man page
  # found through MANPATH; no running systemd is needed. A setting systemd would ignore fails.
  warnings=$(MANPATH=$prefix/share/man systemd-analyze verify \
    "$prefix"/lib/systemd/system/vantel32-check@.{service,timer} 2>&1) && [[ -z $warnings ]] ||
    { echo "*** package: systemd-analyze verify: $warnings" >&2; return 1; }
  deb=$(ls "$out"/vantel32_*.deb) || return 1
  dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
  contents=$(dpkg-deb --contents "$deb") || return 1
  echo "$contents"
  for file in "${PACKAGED_FILES[@]}"; do
    grep -q " \./$file\$" <<<"$contents" || { echo "*** package: $file not in the .deb" >&2; return 1; }
  done
  lint_deb "$deb" "$out/lintian.log" || return 1
  # A second build in a folder of its own must give the same bytes; without a compiler cache,
  # which would hand it the first build's objects.
  build_deb "$BUILD/package-again" "$out/again" -DVANTEL_TESTS=OFF -DCMAKE_CXX_COMPILER_LAUNCHER= ||
    return 1
  cmp "$deb" "$out/again/$(basename "$deb")" ||
    { echo "*** package: two builds of the same sources differ" >&2; return 1; }
  echo "package checked: $(basename "$deb"), $(grep -vc '/$' <<<"$contents") files, lintian clean, reproducible" |
    tee "$out/run.log"
}

leg_asan() {
  need_tools asan "install cmake, ninja-build and g++" cmake ninja g++ ctest || return 1
  # Every report ends the process with a failure; programs the tests start inherit this.
  export ASAN_OPTIONS=halt_on_error=1:abort_on_error=0:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
  build_and_test "$BUILD/asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTEL_SANITIZE=ON || return 1
  tsan_pool
}

# The reader threads under ThreadSanitizer: the pool's tests, the duplicate finder's, whose
# first look at the files is shared by several readers, and the program itself reading deferred
# files beside its walk in Info, Scan, Compare and the duplicate finder (the end-to-end readers
# tests start the build's own program, which fails them with its exit code on any report).
tsan_pool() {
  local dir=$BUILD/tsan
  reset_if_foreign "$dir"
  cmake -S "$ROOT" -B "$dir" -G Ninja -DVANTEL_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVANTEL_TSAN=ON >/dev/null || return 1
  cmake --build "$dir" -j "$JOBS" --target tests_core tests_modes tests_e2e vantel32 || return 1
  TSAN_OPTIONS=halt_on_error=1:exitcode=66 "$dir/tests/tests_core" --gtest_filter='CrcReaders.*' &&
    TSAN_OPTIONS=halt_on_error=1:exitcode=66 "$dir/tests/tests_modes" \
      --gtest_filter='FindDuplicatesTest.*' &&
    TSAN_OPTIONS=halt_on_error=1:exitcode=66 "$dir/tests/tests_e2e" --gtest_filter='ReadersTest.*'
}

WINE_PREFIX_DIR=""
# Ends the server of our own prefix only, then removes the prefix.
stop_wine() {
  if [[ -n $WINE_PREFIX_DIR ]]; then
    WINEPREFIX=$WINE_PREFIX_DIR wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINE_PREFIX_DIR"
    WINE_PREFIX_DIR=""
  fi
}

leg_win32() {
  need_tools win32 "install g++-mingw-w64-x86-64-posix" x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-gcc-posix || return 1
  need_tools win32 "install wine and wine64" wine wineboot wineserver || return 1
  need_tools win32 "install cmake and ninja-build" cmake ninja ctest || return 1
  if [[ ! -f /usr/src/googletest/CMakeLists.txt ]]; then
    echo '*** win32: /usr/src/googletest missing (install googletest)' >&2
    return 1
  fi
  WINE_PREFIX_DIR=$(mktemp -d "${TMPDIR:-/tmp}/vantel32-wine.XXXXXX") || return 1
  trap stop_wine EXIT
  export WINEPREFIX=$WINE_PREFIX_DIR WINEARCH=win64 WINEDEBUG=-all
  # No Mono or Gecko install prompts, no windows; Wine takes its time zone from TZ at start.
  export WINEDLLOVERRIDES="mscoree=;mshtml=" TZ=UTC
  unset DISPLAY WAYLAND_DISPLAY
  # One server for the whole leg, and the prefix set up here (it takes several seconds) rather
  # than inside the first test.
  wineserver -p || { echo '*** win32: wineserver does not start' >&2; return 1; }
  wineboot -i >/dev/null 2>&1 || { echo '*** win32: wineboot failed' >&2; return 1; }
  # The toolchain is read when a folder is first configured; CMake warns when it is given again.
  local file=$ROOT/cmake/mingw-w64.cmake toolchain=()
  reset_if_foreign "$BUILD/win32" "CMAKE_TOOLCHAIN_FILE:FILEPATH=$file"
  [[ -f $BUILD/win32/CMakeCache.txt ]] || toolchain=(-DCMAKE_TOOLCHAIN_FILE="$file")
  # Now and then Wine fails to start a process or stalls under load, with tests that pass on
  # every other run: a test that fails is run once more, and the log shows both runs.
  local CTEST_EXTRA=(--repeat until-pass:2)
  build_and_test "$BUILD/win32" "${toolchain[@]}"
  local status=$?
  stop_wine
  return $status
}

# The arm64 cross build: every test under qemu-user (QEMU_CPU picks the emulated processor, "max"
# when unset), then its .deb, which must name the target's packages and pass lintian.
leg_arm64() {
  need_tools arm64 "install g++-aarch64-linux-gnu and qemu-user" aarch64-linux-gnu-g++ qemu-aarch64 || return 1
  need_tools arm64 "install cmake, ninja-build, dpkg-dev and lintian" cmake ninja ctest cpack \
    dpkg-deb dpkg-shlibdeps lintian || return 1
  if [[ ! -f /usr/src/googletest/CMakeLists.txt ]]; then
    echo '*** arm64: /usr/src/googletest missing (install googletest)' >&2
    return 1
  fi
  local dir=$BUILD/arm64 out=$BUILD/arm64/deb file=$ROOT/cmake/aarch64-linux-gnu.cmake toolchain=()
  reset_if_foreign "$dir" "CMAKE_TOOLCHAIN_FILE:FILEPATH=$file"
  [[ -f $dir/CMakeCache.txt ]] || toolchain=(-DCMAKE_TOOLCHAIN_FILE="$file")
  build_and_test "$dir" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release || return 1
  SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null)}
  export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-1767225600}
  rm -rf "$out" && mkdir -p "$out" || return 1
  (cd "$dir" && cpack -G DEB -B "$out" >"$out/cpack.log") || { cat "$out/cpack.log"; return 1; }
  local deb info contents
  deb=$(ls "$out"/vantel32_*_arm64.deb) || return 1
  info=$(dpkg-deb --info "$deb") || return 1
  sed -n '/Package:/,$p' <<<"$info"
  grep -qx ' Architecture: arm64' <<<"$info" || { echo "*** arm64: not an arm64 package" >&2; return 1; }
  if ! grep -q '^ Depends: libc6 ' <<<"$info" || grep -Eq '^ Depends: .*(-cross|:arm64)' <<<"$info"; then
    echo "*** arm64: the dependencies are not the target's packages" >&2
    return 1
  fi
  contents=$(dpkg-deb --contents "$deb") || return 1
  for file in "${PACKAGED_FILES[@]}"; do
    grep -q " \./$file\$" <<<"$contents" || { echo "*** arm64: $file not in the .deb" >&2; return 1; }
  done
  lint_deb "$deb" "$out/lintian.log" || return 1
  echo "arm64 package checked: $(basename "$deb"), lintian clean"
}

leg_fuzz() {
  need_tools fuzz "install clang and libclang-rt-14-dev" clang++ cmake ninja || return 1
  mkdir -p "$BUILD/fuzz"
  "$ROOT/fuzz/run.sh" "${FUZZ_SECONDS:-20}" 2>&1 | tee "$BUILD/fuzz/run.log"
}

run_leg() {
  local leg=$1 start status detail
  say "leg $leg"
  start=$(date +%s)
  # A subshell keeps each leg's exports (sanitizer and Wine settings) to itself.
  ("leg_$leg")
  status=$?
  detail=$(grep -Eo '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+|no findings|package checked: .*' "$BUILD/$leg/ctest.log" "$BUILD/$leg/run.log" 2>/dev/null | tail -n 1 | sed 's/^[^:]*://')
  [[ $status -ne 0 || -n $detail ]] || detail="no ctest result"
  if [[ $status -eq 0 ]]; then
    PASSED=$((PASSED + 1))
    SUMMARY+=("$(printf '%-8s PASSED  %4ds  %s' "$leg" $(($(date +%s) - start)) "$detail")")
  else
    FAILED=$((FAILED + 1))
    SUMMARY+=("$(printf '%-8s FAILED  %4ds  %s' "$leg" $(($(date +%s) - start)) "${detail:-(build or set-up failed, see above)}")")
  fi
}

legs=("$@")
[[ ${#legs[@]} -gt 0 ]] || legs=(release asan win32 arm64 fuzz package)
for leg in "${legs[@]}"; do
  case $leg in
    release | asan | win32 | arm64 | fuzz | package) ;;
    *) echo "unknown leg: $leg (release, asan, win32, arm64, fuzz, package)" >&2; exit 2 ;;
  esac
done
"$ROOT/scripts/install-deps.sh" "${legs[@]}" || exit 1
mkdir -p "$BUILD"
for leg in "${legs[@]}"; do
  rm -f "$BUILD/$leg/ctest.log" "$BUILD/$leg/run.log"
  run_leg "$leg"
done

say "summary (legs)"
printf '%s\n' "${SUMMARY[@]}"
echo "$PASSED passed, $FAILED failed"
[[ $FAILED -eq 0 ]]
