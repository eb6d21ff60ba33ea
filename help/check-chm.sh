#!/usr/bin/env bash
# Checks a compiled help file: check-chm.sh FILE PAGE...
# A CHM starts with the ITSF signature and lists every stored file by name in
# its directory chunks.
set -euo pipefail
chm="$1"; shift
[ -s "$chm" ] || { echo "no help file $chm"; exit 1; }
[ "$(head -c 4 "$chm")" = "ITSF" ] || { echo "$chm is not a CHM file"; exit 1; }
fail=0
for page in "$@" "#SYSTEM"; do
  if grep -aqF "/$page" "$chm"; then echo "contains $page"; else echo "MISSING $page"; fail=1; fi
done
exit $fail
