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
wine "$@" >"$tmp/out" 2>"$tmp/err" </dev/null
rc=$?
tr -d '\r' <"$tmp/out"
tr -d '\r' <"$tmp/err" >&2
exit $rc
