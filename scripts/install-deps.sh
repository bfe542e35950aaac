#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, if missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format libclang-rt-14-dev pkg-config git
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libicu-dev libcli11-dev nlohmann-json3-dev libmsgpack-dev libcbor-dev
  gcovr valgrind mingw-w64 wine64
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
