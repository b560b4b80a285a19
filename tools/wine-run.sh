#!/bin/sh
# Runs a Windows program under Wine for CTest. The program's output goes
# through a file and is printed once Wine returns: Wine's background
# processes (the desktop window process among them) inherit the streams of
# the program that started them, and CTest would otherwise wait for them to
# close their copy of its pipe long after the test ended.
out=$(mktemp "${TMPDIR:-/tmp}/spiralix-test.XXXXXX") || exit 125
wine "$@" </dev/null >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc
