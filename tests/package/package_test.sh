#!/usr/bin/env bash
# Builds the Debian package with cpack into a temporary folder and checks what it holds: every
# file the desktop and the system look for, installed where the program and each other expect
# them; Depends naming the packages of the libraries the program links; metainfo, menu entry and
# manual page that their own checkers pass.
# Usage: package_test.sh BUILD/CPackConfig.cmake
set -uo pipefail
config=$1

for tool in cpack dpkg-deb; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is missing (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! cpack -G DEB --config "$config" -B "$work" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack could not build the package"
  exit 1
fi
debs=("$work"/tga2avi_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  cat "$work/cpack.log"
  echo "FAIL: expected one tga2avi_*.deb, found: ${debs[*]}"
  exit 1
fi
deb=${debs[0]}
echo "package: $(basename "$deb")"

# The file list. The desktop finds the icon by the theme's folders and the name alone.
appstream_id=io.github.tga2avi.tga2avi
hicolor=usr/share/icons/hicolor
expected=(
  usr/bin/tga2avi
  usr/share/tga2avi/converter.xrc
  usr/share/tga2avi/tga2avi-16.png
  usr/share/tga2avi/tga2avi-32.png
  usr/share/applications/tga2avi.desktop
  "usr/share/metainfo/$appstream_id.metainfo.xml"
  usr/share/man/man1/tga2avi.1.gz
  "$hicolor/scalable/apps/tga2avi.svg"
)
sizes=(16 32 48 64 128 256)
for size in "${sizes[@]}"; do
  expected+=("$hicolor/${size}x$size/apps/tga2avi.png")
done
listing=$(dpkg-deb -c "$deb" | awk '{ sub(/^\.\//, "", $6); print $1, $6 }')
for path in "${expected[@]}"; do
  grep -qxF -- "-rw-r--r-- $path" <<<"$listing" || grep -qxF -- "-rwxr-xr-x $path" <<<"$listing" ||
    fail "the package does not hold $path"
done
grep -qxF -- "-rwxr-xr-x usr/bin/tga2avi" <<<"$listing" || fail "usr/bin/tga2avi is not executable"

root=$work/root
dpkg-deb -x "$deb" "$root"

# Width and height from a PNG's header (bytes 16 to 23, big-endian).
png_size() {
  od -An -tu1 -j16 -N8 "$1" |
    awk '{ printf "%dx%d", (($1 * 256 + $2) * 256 + $3) * 256 + $4, (($5 * 256 + $6) * 256 + $7) * 256 + $8 }'
}
for size in "${sizes[@]}"; do
  file=$root/$hicolor/${size}x$size/apps/tga2avi.png
  [ -f "$file" ] && [ "$(png_size "$file")" != "${size}x$size" ] &&
    fail "$hicolor/${size}x$size/apps/tga2avi.png is $(png_size "$file")"
done
# The window's own icons, loaded by name as its small and large icon.
for size in 16 32; do
  file=$root/usr/share/tga2avi/tga2avi-$size.png
  [ -f "$file" ] && [ "$(png_size "$file")" != "${size}x$size" ] &&
    fail "usr/share/tga2avi/tga2avi-$size.png is $(png_size "$file")"
done
grep -q '<svg' "$root/$hicolor/scalable/apps/tga2avi.svg" 2>/dev/null ||
  fail "the scalable icon is not an SVG drawing"

# The installed program looks for its dialog template in ../share/tga2avi beside itself.
[ -f "$root/usr/bin/../share/tga2avi/converter.xrc" ] ||
  fail "the program would not find share/tga2avi/converter.xrc from usr/bin"

# Depends comes from the libraries linked: the toolkit, FFmpeg's and Magick++'s packages.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for pattern in 'libwxgtk3\.2-[0-9]+' 'libwxbase3\.2-[0-9]+' 'libavformat[0-9]+' 'libavcodec[0-9]+' \
  'libswscale[0-9]+' 'libavutil[0-9]+' 'libmagick\+\+-6\.q16-[0-9]+'; do
  grep -qE "(^|, )$pattern( |,|$)" <<<"$depends" || fail "Depends names no package like $pattern"
done

# The menu entry, the AppStream data and the manual page pass their own checkers, and name
# each other and the program as installed.
desktop=$root/usr/share/applications/tga2avi.desktop
metainfo=$root/usr/share/metainfo/$appstream_id.metainfo.xml
if [ -f "$desktop" ]; then
  out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
  exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
  [ -x "$root/usr/bin/$exec_program" ] || fail "the menu entry starts '$exec_program', not in usr/bin"
  icon=$(sed -n 's/^Icon=//p' "$desktop")
  [ -f "$root/$hicolor/scalable/apps/$icon.svg" ] || fail "the menu entry's icon '$icon' is not installed"
fi
if [ -f "$metainfo" ]; then
  out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
  id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$metainfo")
  [ "$id" = "$appstream_id" ] || fail "the metainfo's id '$id' differs from its file name"
  launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
  [ -f "$root/usr/share/applications/$launchable" ] ||
    fail "the metainfo launches '$launchable', which the package does not install"
  binary=$(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo")
  [ -x "$root/usr/bin/$binary" ] || fail "the metainfo provides '$binary', not in usr/bin"
fi
# The files that carry the version by hand follow the project's.
version=$(dpkg-deb -f "$deb" Version)
if [ -f "$metainfo" ]; then
  newest=$(sed -n 's:.*<release version="\([^"]*\)".*:\1:p' "$metainfo" | head -1)
  [ "$newest" = "$version" ] || fail "the metainfo's newest release is '$newest', the package's $version"
fi
man_page=$root/usr/share/man/man1/tga2avi.1.gz
if [ -f "$man_page" ]; then
  gzip -t "$man_page" || fail "the manual page is not a gzip file"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$man_page" 2>&1 >"$work/man.txt")
  [ -z "$warnings" ] || fail "man warns about the manual page: $warnings"
  zcat "$man_page" | grep -q "^\.TH .*\"tga2avi $version\"" ||
    fail "the manual page's title line does not say tga2avi $version"
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'EXIT STATUS'; do
    grep -qx "$section" "$work/man.txt" || fail "the manual page has no $section section"
  done
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "the package holds its files"
