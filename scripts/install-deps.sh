#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing need, then checks
# that everything the scripts and stages call is really there.  Each entry is
# checked itself, not its package's name: Debian's wine64, for one, brings no
# `wine` command.  A missing one is named with the package that brings it.
#   scripts/install-deps.sh        everything every stage of scripts/test.sh uses
#   scripts/install-deps.sh demo   only what the README's path needs (scripts/demo.sh)
set -euo pipefail

# What is needed -> the Debian package that brings it.  An entry is a command
# (looked up on PATH), an absolute path (may hold a glob), or py:MODULE (a
# module /usr/bin/python3 must import).
demo_needs=(
  # building the release preset: the libraries, QVRCore and the tool
  cmake cmake
  ninja ninja-build
  gcc gcc
  cc gcc
  g++ g++
  /usr/include/unicode/ucnv.h libicu-dev
  /usr/include/CLI/CLI.hpp libcli11-dev
  /usr/include/nlohmann/json.hpp nlohmann-json3-dev
  /usr/include/rapidjson/document.h rapidjson-dev
  # the README's Python step
  /usr/bin/python3 python3
)

needs=(
  "${demo_needs[@]}"
  # building and consuming
  pkg-config pkg-config
  git git
  readelf binutils
  ldd libc-bin
  # tests, formatting, sanitizers, fuzzers
  /usr/include/gtest/gtest.h libgtest-dev
  /usr/include/gmock/gmock.h libgmock-dev
  clang clang
  clang++ clang
  clang-format clang-format
  '/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a' libclang-rt-14-dev
  valgrind valgrind
  gcovr gcovr
  # benchmarks
  /usr/include/benchmark/benchmark.h libbenchmark-dev
  /usr/include/msgpack.h libmsgpack-dev
  /usr/include/cbor.h libcbor-dev
  # ... and the typed-records peers, each in its own schema language
  protoc protobuf-compiler
  /usr/include/google/protobuf/message.h libprotobuf-dev
  protoc-gen-nanopb nanopb
  /usr/include/pb.h libnanopb-dev
  /usr/include/msgpack.hpp libmsgpack-cxx-dev
  /usr/bin/time time
  xxd xxd
  # Windows: cross compilers, GoogleTest sources, MSVC-format import
  # libraries, and Wine with its 64-bit loader
  x86_64-w64-mingw32-gcc-posix gcc-mingw-w64-x86-64-posix
  x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
  x86_64-w64-mingw32-windres binutils-mingw-w64-x86-64
  x86_64-w64-mingw32-objdump binutils-mingw-w64-x86-64
  /usr/src/googletest/CMakeLists.txt googletest
  llvm-dlltool llvm
  lld-link lld
  wine wine
  wineserver wine
  /usr/lib/wine/wine64 wine64
  # Python
  pip3 python3-pip
  pytest-3 python3-pytest
  py:pytest python3-pytest
  py:setuptools python3-setuptools
  py:wheel python3-wheel
  py:ensurepip python3-venv
  # ... its compiled extension, and the peer its benchmark compares with
  '/usr/include/python3*/Python.h' python3-dev
  /usr/lib/cmake/pybind11/pybind11Config.cmake pybind11-dev
  py:msgpack python3-msgpack
  # WebAssembly and the browser: emscripten, the machine's Node.js and npm
  # (npm brings TypeScript and playwright-core), Debian's Chromium
  emcc emscripten
  node nodejs
  npm npm
  /usr/bin/chromium chromium
)

case ${1:-} in
  "") ;;
  demo) needs=("${demo_needs[@]}") ;;
  *)
    echo "usage: scripts/install-deps.sh [demo]" >&2
    exit 2
    ;;
esac

present() {
  case $1 in
    py:*) [ -x /usr/bin/python3 ] && /usr/bin/python3 -c "import ${1#py:}" 2>/dev/null ;;
    /*) compgen -G "$1" >/dev/null ;;
    *) command -v "$1" >/dev/null ;;
  esac
}

# Sets `missing` to the entries not present and `packages` to their packages.
find_missing() {
  missing=() packages=()
  local i
  for ((i = 0; i < ${#needs[@]}; i += 2)); do
    present "${needs[i]}" && continue
    missing+=("${needs[i]} (package ${needs[i + 1]})")
    [[ " ${packages[*]} " == *" ${needs[i + 1]} "* ]] || packages+=("${needs[i + 1]}")
  done
}

find_missing
if ((${#packages[@]})); then
  echo "installing: ${packages[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${packages[@]}"
  find_missing
  if ((${#missing[@]})); then
    printf 'still missing after installing: %s\n' "${missing[@]}" >&2
    exit 1
  fi
fi
