#!/usr/bin/env bash
# Runs a Windows test program under Wine for ctest. A test program always writes before it
# can fail; a run that fails with no output at all never reached the program (Wine failed to
# start it, about once in a thousand launches on a loaded machine). That run is told on
# standard error with its exit code and the program is run once more; any other run stands.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
wine "$@" >"$out" 2>"$err"
code=$?
if [ "$code" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
  echo "run_under_wine: wine $* ended with exit code $code before the program wrote anything; run once more" >&2
  exec wine "$@"
fi
cat "$out"
cat "$err" >&2
exit "$code"
