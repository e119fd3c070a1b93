#!/usr/bin/env bash
# The manual page of saldina-cli tells of every command, report, print and
# option that the tool's own help lists (saldina-cli --help and
# saldina-cli COMMAND --help).
# Usage: manual_test.sh SALDINA_CLI MANUAL_PAGE
set -euo pipefail
cli=$1 page=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

"$cli" --help >"$work/help"
commands=$(sed -n '/^Commands:/,/^$/p' "$work/help" | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p')
[ -n "$commands" ] || { echo "FAIL: no commands in saldina-cli --help" >&2; exit 1; }
for c in $commands; do "$cli" "$c" --help >>"$work/help"; done
"$cli" report --help >"$work/report"
reports=$(sed -n '/^NAME:/,/^Selection/p' "$work/report" | sed -n 's/^  \([a-z][a-z0-9-]*\) .*/\1/p')
prints=$("$cli" print --help | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p')
options=$(grep -o -- '--[a-z][a-z-]*' "$work/help" | sort -u)

# The page as text: roff's escaped minus and font changes taken away.
sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$page" >"$work/page"
missing=""
for w in $commands $reports $prints; do
  grep -qw -- "$w" "$work/page" || missing+=" $w"
done
for o in $options; do
  grep -qE -- "(^|[^a-z-])$o([^a-z-]|\$)" "$work/page" || missing+=" $o"
done
[ -z "$missing" ] || { echo "FAIL: the manual page does not tell of:$missing" >&2; exit 1; }
echo "OK: $(wc -w <<<"$commands") commands, $(wc -w <<<"$reports") reports, $(wc -w <<<"$prints") prints, $(wc -w <<<"$options") options"
