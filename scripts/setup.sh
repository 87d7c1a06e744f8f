#!/usr/bin/env bash
# Installs what building and testing pelko needs on a Debian machine, and
# nothing when it is all there already.
set -euo pipefail

need=()
have() { command -v "$1" >/dev/null 2>&1; }
have i686-w64-mingw32-g++-win32 || need+=(g++-mingw-w64-i686-win32 mingw-w64-i686-dev)
have x86_64-w64-mingw32-g++-win32 || need+=(g++-mingw-w64-x86-64-win32 mingw-w64-x86-64-dev)
[ -x /usr/lib/wine/wine64 ] || need+=(wine wine64)
[ -x /usr/lib/wine/wine ] || need+=(wine32:i386)
# Wine's own fonts: the title bar's buttons are Marlett glyphs.
[ -f /usr/share/wine/fonts/marlett.ttf ] || need+=(fonts-wine)
have Xvfb || need+=(xvfb)
have xauth || need+=(xauth)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
have import || need+=(imagemagick)
have wrestool || need+=(icoutils)
have cmake || need+=(cmake)
have ninja || need+=(ninja-build)
have python3 || need+=(python3)
have objdump || need+=(binutils)
# The native fuzzers: clang with libFuzzer and the sanitizers' runtimes
# (recommended by clang, so left out by --no-install-recommends).
have clang++ || need+=(clang)
[ -f "$(clang++ -print-file-name="libclang_rt.fuzzer-$(uname -m).a" 2>/dev/null)" ] ||
    need+=(libclang-rt-dev)

[ ${#need[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "setup: installing ${need[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
