#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The layer check on two small libraries: a use of the lower one from the upper passes, a use of
# the upper one from the lower fails and names the symbol.
set -euo pipefail
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

archive() {  # archive NAME SOURCE
    printf '%s\n' "$2" >"$1.cpp"
    c++ -c -O0 -o "$1.o" "$1.cpp"
    ar rcs "lib$1.a" "$1.o"
}

archive low "int Low() { return 1; }"
archive high "int Low(); int High() { return Low(); }"
"$check" --libs low=liblow.a high=libhigh.a

archive low "int High(); int Low() { return High(); }"
if "$check" --libs low=liblow.a high=libhigh.a 2>out; then
    echo "an upward use passed the check" >&2
    exit 1
fi
grep -q 'low uses high: High()' out || { cat out >&2; exit 1; }
