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

# The fontconfig file in conf.avail is switched on by a relative link in
# etc/fonts/conf.d below the prefix (/etc for /usr).
for f in "$@"; do
  case "$f" in
    share/fontconfig/conf.avail/*)
      link="$prefix/etc/fonts/conf.d/${f##*/}"
      if [ -L "$link" ] && [ "$(readlink -f "$link")" = "$(readlink -f "$prefix/$f")" ]; then
        echo "installed: etc/fonts/conf.d/${f##*/} -> $(readlink "$link")"
      else
        echo "MISSING or wrong link: $link"; fail=1
      fi ;;
  esac
done

# Where fontconfig reads the installed font folder and conf.d (as for the
# package in /usr), the fonts and aliases are found there: RTF results copy
# nothing into the user's folders. A private home and fontconfig cache keep
# the check away from the real ones.
if command -v fc-match > /dev/null && [ -d "$prefix/share/fonts/truetype/tessilor" ]; then
  home="$(mktemp -d)"
  cat > "$home/fonts.conf" <<EOF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <cachedir>$home/fontconfig-cache</cachedir>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <dir>$prefix/share/fonts</dir>
  <include ignore_missing="yes">$prefix/etc/fonts/conf.d</include>
</fontconfig>
EOF
  in_home() {
    (cd / && env -u LD_LIBRARY_PATH HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
      XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home" FONTCONFIG_FILE="$home/fonts.conf" "$@")
  }
  in_home "$prefix/bin/tessilor-cli" -m figures -c 20 -F rtf -o "$home/figures.rtf" 2> "$home/err" || fail=1
  in_home "$prefix/bin/tessilor-cli" -f 3 -c 20 -F rtf -o "$home/text.rtf" 2>> "$home/err" || fail=1
  if grep -q "note:" "$home/err" || [ -e "$home/data/fonts" ] || [ -e "$home/config/fontconfig" ]; then
    echo "installed tessilor-cli copied fonts or aliases although fontconfig has them:"; cat "$home/err"
    fail=1
  else
    echo "installed fonts and aliases are found by fontconfig: nothing copied for the user"
  fi
  family="$(in_home fc-match -f '%{family}' 'Lucida Console')"
  if [ "$family" = "DejaVu Sans Mono" ]; then
    echo "Lucida Console resolves to $family through the installed aliases"
  else
    echo "Lucida Console resolves to '$family' with the installed aliases"; fail=1
  fi
  rm -rf "$home"
fi

if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$prefix/share/applications/tessilor.desktop" || fail=1
fi
if command -v appstreamcli > /dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/tessilor.metainfo.xml" || fail=1
fi
exit $fail
