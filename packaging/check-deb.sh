#!/usr/bin/env bash
# Builds the .deb of a build tree and checks its control data and contents:
# check-deb.sh BUILD_DIR [EXPECTED_FILE...] (paths below the /usr prefix).
set -euo pipefail
build="$(cd "$1" && pwd)"; shift
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" > cpack.log 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb="$(ls "$work"/tessilor_*.deb)"
echo "built $(basename "$deb")"
info="$(dpkg-deb -I "$deb")"
files="$(dpkg-deb -c "$deb")"
fail=0
depends="$(printf '%s\n' "$info" | sed -n 's/^ Depends: //p')"
echo "Depends: $depends"
# DEB_EXTRA_DEPENDS: further packages the build links (the allocator).
for dep in libqt6widgets6 libqt6gui6 libqt6core6 libqt6printsupport6 libqt6network6 qt6-image-formats-plugins fonts-dejavu-core fonts-liberation libfontconfig1 libc6 libstdc++6 ${DEB_EXTRA_DEPENDS:-}; do
  case ", $depends," in
    *", $dep "*|*", $dep,"*) ;;
    *) echo "MISSING dependency: $dep"; fail=1 ;;
  esac
done
printf '%s\n' "$info" | grep -q '^ Package: tessilor$' || { echo "wrong package name"; fail=1; }
printf '%s\n' "$info" | grep -q '^ Architecture: amd64$\|^ Architecture: arm64$' || { echo "no architecture"; fail=1; }
for f in bin/tessilor-cli share/applications/tessilor.desktop \
         share/icons/hicolor/scalable/apps/tessilor.svg share/metainfo/tessilor.metainfo.xml "$@"; do
  if printf '%s\n' "$files" | grep -q " \./usr/$f\$"; then echo "packaged: $f"; else echo "MISSING in package: $f"; fail=1; fi
done
# A fontconfig file in conf.avail is switched on the Debian way: a relative
# link in /etc/fonts/conf.d.
for f in "$@"; do
  case "$f" in
    share/fontconfig/conf.avail/*)
      name="${f##*/}"
      link="./etc/fonts/conf.d/$name -> ../../../usr/$f"
      if printf '%s\n' "$files" | grep -q "^l.* \./etc/fonts/conf\.d/$name -> \.\./\.\./\.\./usr/$f\$"; then
        echo "packaged: $link"
      else
        echo "MISSING in package: $link"; fail=1
      fi ;;
  esac
done
exit $fail
