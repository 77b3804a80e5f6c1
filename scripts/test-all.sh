#!/usr/bin/env bash
# Installs what is missing (Debian 12, as root or through sudo), then configures, builds and
# tests every preset: native, asan (ASan+UBSan), tsan and windows (mingw-w64, under Wine).
# Exits non-zero if anything fails; every preset runs even when an earlier one failed.
set -uo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev
          g++-mingw-w64-x86-64-posix mingw-w64-tools libwine-dev wine64)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "== installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq || exit 1
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq \
        "${missing[@]}" >/dev/null || exit 1
fi

presets=(${VORN_PRESETS:-native asan tsan windows})
failed=()

stop_wine() {
    # The Windows suites run in the build tree's own prefix; stop the wineserver they started.
    local prefix="$root/build/windows/wineprefix"
    if [ -d "$prefix" ]; then
        WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
    fi
}
trap stop_wine EXIT

for preset in "${presets[@]}"; do
    echo "== preset $preset: configure and build"
    if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset"; then
        failed+=("$preset (build)")
        continue
    fi
    echo "== preset $preset: test"
    if ! ctest --preset "$preset"; then
        failed+=("$preset (tests)")
    fi
done

if ((${#failed[@]})); then
    echo "== FAILED: ${failed[*]}"
    exit 1
fi
echo "== all presets passed: ${presets[*]}"
