#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the test suites
# need and the machine lacks. Safe to run again: it installs only what is
# missing.
set -euo pipefail

packages=(
  # the native build and its test suites
  g++ cmake ninja-build make python3
  libfast-float-dev googletest libgtest-dev libbenchmark-dev
  # the Windows libraries and the checks of their files
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 python3-pefile
  # the test suite on a 32-bit x86 target
  g++-multilib qemu-user-static
  # fuzzing and the sanitizer builds
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
