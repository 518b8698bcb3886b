#!/usr/bin/env bash
# One entry point for developers and CI.
#
#   ./build.sh run    set up, build, and start the installer on the demo release
#   ./build.sh test   set up, build, and run every test (plain build, then the
#                     sanitizer and fuzzing build)
#   ./build.sh setup  only install the Debian packages that are missing
#
# A second run repeats no finished work: packages already present are not
# reinstalled and the builds are incremental.
set -euo pipefail

top="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$top"
jobs="$(nproc 2>/dev/null || echo 2)"

say() { printf '==> %s\n' "$*"; }

setup() {
  local wanted missing=()
  mapfile -t wanted < <(grep -vE '^\s*(#|$)' debian-packages.txt)
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    say "All ${#wanted[@]} Debian packages are installed."
    return
  fi
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  say "Installing missing Debian packages: ${missing[*]}"
  say "apt-get update"
  $sudo apt-get update -qq
  say "apt-get install ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure DIR [cmake args...]: configures once; later runs only rebuild.
configure() {
  local dir="$1"; shift
  if [ ! -f "$dir/build.ninja" ]; then
    say "Configuring $dir"
    cmake -S "$top" -B "$dir" -G Ninja "$@"
  fi
}

build_plain() {
  configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  say "Building build/"
  cmake --build build -j "$jobs"
}

build_sanitized() {
  configure build-san -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DINSTALLER_SANITIZE=ON -DINSTALLER_FUZZ=ON
  say "Building build-san/ (AddressSanitizer, UndefinedBehaviorSanitizer, fuzz targets)"
  cmake --build build-san -j "$jobs"
}

run_tests() {
  local dir="$1" log
  log="$dir/ctest-summary.log"
  say "Running the tests in $dir/"
  set +e
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  return "$rc"
}

demo_release() {
  # The release builder makes the bundled demo release when it is part of the
  # build; until then a minimal folder with an install.ini is enough to start.
  if [ -x build/demo/make-demo-release ]; then
    build/demo/make-demo-release build/demo-release >&2
  else
    mkdir -p build/demo-release
    cp build/app/install build/demo-release/install
    [ -f build/demo-release/install.ini ] || printf '[FLAGS]\nSOURCE=demo.ace\nNUMFILES=3\n' > build/demo-release/install.ini
  fi
  echo build/demo-release
}

cmd="${1:-}"
case "$cmd" in
  setup)
    setup ;;
  run)
    setup
    build_plain
    rel="$(demo_release)"
    say "Starting $rel/install"
    exec "$rel/install" ;;
  test)
    setup
    build_plain
    status=0
    run_tests build || status=1
    build_sanitized
    run_tests build-san || status=1
    say "Summary"
    for d in build build-san; do
      printf '%s: ' "$d"; grep -E 'tests passed|tests failed' "$d/ctest-summary.log" || echo "no summary"
    done
    exit "$status" ;;
  *)
    echo "usage: $0 run|test|setup" >&2
    exit 2 ;;
esac
