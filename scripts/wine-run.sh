#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM [ARGS...]
# Runs a Windows program under Wine in the given prefix (created on first use),
# with Wine's own chatter and install prompts turned off. Output goes through
# files: Wine's background processes inherit the standard handles, and a pipe
# they hold open would keep the caller (ctest) waiting forever.
set -u
prefix=$(realpath -m "$1")
shift

export WINEPREFIX=$prefix
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

here=$(cd "$(dirname "$0")" && pwd)
"$here/wine-prefix.sh" "$prefix" || exit 1

tmp=$(mktemp -d "${TMPDIR:-/tmp}/wine-run.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
run() {
  wine "$@" >"$tmp/out" 2>"$tmp/err" </dev/null
  rc=$?
}
run "$@"
# Every program run through here says something when it fails; the test
# programs flush their output as they go, so one that ends in failure without
# a single character never reached its first test. Wine has ended a test
# program that way once, in 0.03 s, and it did not happen again in hundreds of
# runs: such a run is tried once more, and the retry is reported.
if [ "$rc" -ne 0 ] && [ ! -s "$tmp/out" ] && [ ! -s "$tmp/err" ]; then
  notice="wine-run: $* ended with status $rc before printing anything; running it once more"
  echo "$notice" >&2
  [ -z "${TOLV_WINE_RETRY_LOG:-}" ] || echo "$notice" >>"$TOLV_WINE_RETRY_LOG"
  run "$@"
fi
tr -d '\r' <"$tmp/out"
tr -d '\r' <"$tmp/err" >&2
[ "$rc" -eq 0 ] || [ -s "$tmp/out" ] || [ -s "$tmp/err" ] || echo "wine-run: $1 ended with status $rc" >&2
exit $rc
