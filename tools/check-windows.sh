#!/usr/bin/env bash
# Compiles the core and the self-contained format plug-ins for Windows (syntax,
# warnings and compile-time checks only), so the Windows branches of the loader,
# the settings rewrite and the plug-in exports keep building, and, with the
# 32-bit compiler, the contract's record keeps its 32-byte layout.
# A platform's own file is named <Class>Posix.cpp / <Class>Windows.cpp; the
# list, made by this build, names the POSIX ones, and their Windows
# counterparts are compiled instead.
# Palettise.cpp is left out: it calls libimagequant, which has no MinGW build
# here; its header, which the plug-ins include, is portable and checked with them.
# The format kit's own platform files follow the same naming: its Windows ones
# are compiled, its POSIX ones left out.
# Usage: tools/check-windows.sh MINGW_CXX CORE_SOURCES_LIST
set -euo pipefail
cxx=$1
list=$2
cd "$(dirname "$0")/.."
status=0
for f in $(sed 's/Posix\.cpp$/Windows.cpp/' "$list") $(ls formats/common/*.cpp | grep -v -e Palettise -e 'Posix\.cpp$') formats/pcx/*.cpp \
    formats/bmp/*.cpp formats/flic/*.cpp; do
    if ! "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -Werror -Isrc -Iinclude -Iformats "$f"; then
        echo "does not compile for Windows: $f" >&2
        status=1
    fi
done
exit $status
