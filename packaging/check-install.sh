#!/usr/bin/env bash
# Installs a build tree into a scratch prefix and checks that the installed
# program works from there: check-install.sh BUILD_DIR [EXPECTED_FILE...]
# EXPECTED_FILE paths are relative to the prefix.
set -euo pipefail
build="$1"; shift
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > "$prefix.log" 2>&1 || { cat "$prefix.log"; rm -f "$prefix.log"; exit 1; }
rm -f "$prefix.log"

fail=0
for f in bin/tessilor-cli share/applications/tessilor.desktop \
         share/icons/hicolor/scalable/apps/tessilor.svg share/metainfo/tessilor.metainfo.xml "$@"; do
  if [ -e "$prefix/$f" ]; then echo "installed: $f"; else echo "MISSING: $f"; fail=1; fi
done

# The installed command line program converts its built-in sample picture
# from anywhere, with the build tree out of sight.
out="$(cd / && env -u LD_LIBRARY_PATH "$prefix/bin/tessilor-cli" --columns 40)"
lines=$(printf '%s\n' "$out" | wc -l)
if [ "$lines" -lt 16 ] || [ "$(printf '%s\n' "$out" | head -1 | tr -d '\r' | wc -m)" -ne 41 ]; then
  echo "installed tessilor-cli gave unexpected output ($lines lines)"; fail=1
else
  echo "installed tessilor-cli converted the sample: $lines lines"
fi

if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$prefix/share/applications/tessilor.desktop" || fail=1
fi
if command -v appstreamcli > /dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/tessilor.metainfo.xml" || fail=1
fi
exit $fail
