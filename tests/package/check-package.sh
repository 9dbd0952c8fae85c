#!/usr/bin/env bash
# Builds the Debian package of a build folder with CPack and checks it as a
# user meets it: every file in its place and nothing else, dependencies
# computed from the programs, lintian without errors or warnings, every
# manual page rendering cleanly and the desktop entries valid. Then the daemon's component of
# cmake --install on its own.
#   check-package.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$1
work=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack -G DEB failed"; }
deb=$(echo "$work"/velora-skyshow_*.deb)
[ -f "$deb" ] || fail "no package in $work"

expected="./usr/bin/velora
./usr/bin/velora-skyshow-add
./usr/libexec/xscreensaver/velora-skyshow
./usr/share/applications/screensavers/velora-skyshow.desktop
./usr/share/applications/velora-skyshow.desktop
./usr/share/doc/velora-skyshow/changelog.gz
./usr/share/doc/velora-skyshow/copyright
./usr/share/icons/hicolor/48x48/apps/velora-skyshow.png
./usr/share/icons/hicolor/scalable/apps/velora-skyshow.svg
./usr/share/man/man6/velora-skyshow-add.6.gz
./usr/share/man/man6/velora-skyshow.6x.gz
./usr/share/man/man6/velora.6.gz
./usr/share/xscreensaver/config/velora-skyshow.xml"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
[ "$files" = "$expected" ] || fail "the package holds:
$files
instead of:
$expected"
dpkg-deb -c "$deb" | awk '$6 ~ /\/(velora|velora-skyshow|velora-skyshow-add)$/ && $1 != "-rwxr-xr-x" {exit 1}' ||
  fail "a program is not executable"

# OpenGL is loaded at run time and named by hand; the rest comes from dpkg-shlibdeps.
depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',' '\n' <<<"$depends" | awk '{print $1}')
for library in libgl1 libc6 libstdc++6 libx11-6 libjpeg62-turbo; do
  grep -qxF "$library" <<<"$names" || fail "Depends lacks $library: $depends"
done

lintian --allow-root --fail-on error,warning "$deb" || fail "lintian found errors or warnings"

dpkg-deb -x "$deb" "$work/root"
for page in velora.6 velora-skyshow.6x velora-skyshow-add.6; do
  rendered=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$work/root/usr/share/man/man6/$page.gz" 2>"$work/man.err")
  [ ! -s "$work/man.err" ] || fail "man warns about $page: $(cat "$work/man.err")"
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS; do
    grep -q "^$section" <<<"$rendered" || fail "$page renders without $section"
  done
done

# The menu entry, and the entry of the hosts that find savers by desktop entry.
for entry in velora-skyshow.desktop screensavers/velora-skyshow.desktop; do
  desktop-file-validate "$work/root/usr/share/applications/$entry" ||
    fail "desktop-file-validate rejects $entry"
done
grep -qx 'Exec=/usr/libexec/xscreensaver/velora-skyshow --root' \
  "$work/root/usr/share/applications/screensavers/velora-skyshow.desktop" ||
  fail "the screensaver entry does not run the packaged saver"

cmake --install "$build" --component xscreensaver --prefix "$work/prefix" >/dev/null
installed=$(cd "$work/prefix" && find . -type f | sort)
[ "$installed" = "./bin/velora-skyshow-add
./libexec/xscreensaver/velora-skyshow
./share/applications/screensavers/velora-skyshow.desktop
./share/man/man6/velora-skyshow-add.6.gz
./share/man/man6/velora-skyshow.6x.gz
./share/xscreensaver/config/velora-skyshow.xml" ] || fail "the xscreensaver component installs:
$installed"
rm -rf "$work"
echo "package and install component checked"
