#!/usr/bin/env bash
# Checks the dynamic symbols of a deliverable: every defined one must match a pattern of
# the allowlist, and every name given after it must be among them (a whole symbol, or the
# qualified name of a function); with a leading ! it must not be part of any.
#   check-exports.sh LIBRARY ALLOWLIST [NAME | !NAME]...
set -euo pipefail
lib=$1 allowlist=$2
shift 2

symbols=$(nm -D --defined-only -C "$lib" | sed -E 's/^[0-9a-fA-F]* *[A-Za-z] //' | sort -u)
[ -n "$symbols" ] || { echo "$lib: no exported symbols" >&2; exit 1; }

status=0
unexpected=$(grep -v -E -f <(grep -v -e '^#' -e '^$' "$allowlist") <<<"$symbols" || true)
if [ -n "$unexpected" ]; then
    echo "$lib exports symbols outside $(basename "$allowlist"):" >&2
    sed 's/^/    /' <<<"$unexpected" >&2
    status=1
fi
for name in "$@"; do
    if [ "${name#!}" != "$name" ]; then
        if grep -q -F -e "${name#!}" <<<"$symbols"; then
            echo "$lib exports ${name#!}, which it must not" >&2
            status=1
        fi
    elif ! grep -q -x -F -e "$name" <<<"$symbols" && ! grep -q -F -e "$name(" <<<"$symbols"; then
        echo "$lib does not export $name" >&2
        status=1
    fi
done
exit $status
