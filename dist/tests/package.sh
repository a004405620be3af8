#!/usr/bin/env bash
# Builds the Debian source package (tools/debian/source-package.sh) and its binary
# package without the suites, as `DEB_BUILD_OPTIONS=nocheck dpkg-buildpackage -us -uc`,
# and checks them: lintian on the .changes without errors or warnings, the files an
# installed desktop program brings, dependencies found from the linked libraries (the
# modules' too), a stripped program. Run by ctest (label package) where dpkg-buildpackage,
# debhelper and lintian are installed; builds the tracked files of the working tree.
# Usage: package.sh SOURCE_DIR VERSION APP_ID
set -euo pipefail
source_dir=$1 version=$2 id=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DEB_BUILD_OPTIONS="nocheck${DEB_BUILD_OPTIONS:+ $DEB_BUILD_OPTIONS}" DEB_BUILD_PROFILES=nocheck \
    "$source_dir/tools/debian/source-package.sh" --build "$work" >"$work/build.log" 2>&1 ||
    { tail -n 40 "$work/build.log"; fail "the package does not build"; }
changes=("$work"/tapecalc_"$version"-*_*.changes)
debs=("$work"/tapecalc_"$version"-*_*.deb)
deb=${debs[0]}
[ -f "$deb" ] && [ -f "${changes[0]}" ] || fail "no package made"

lintian --fail-on error,warning "${changes[0]}" 2>&1 | grep -v "running with root privileges" ||
    true
lintian --fail-on error,warning "${changes[0]}" >/dev/null 2>&1 ||
    fail "lintian reports errors or warnings"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
# The modules are the ones the build made, wherever the build tree keeps them.
modules=$(find "$work/tapecalc-$version/obj-"* -name 'tapecalc-*.so' -printf '%f\n' | sort -u)
[ -n "$modules" ] || fail "no module in the build tree"
for path in /usr/bin/tapecalc \
    "/usr/share/applications/$id.desktop" "/usr/share/metainfo/$id.metainfo.xml" \
    "/usr/share/icons/hicolor/48x48/apps/$id.png" "/usr/share/icons/hicolor/scalable/apps/$id.svg" \
    /usr/share/man/man1/tapecalc.1.gz /usr/share/doc/tapecalc/copyright \
    /usr/share/doc/tapecalc/changelog.Debian.gz /usr/share/tapecalc/shengyin/5.wav \
    /usr/share/tapecalc/anniu/0x.jpg /usr/share/tapecalc/help/index.html \
    $(printf '/usr/lib/tapecalc/modules/%s\n' $modules); do
    grep -qx "$path" "$work/contents" || fail "$path is not in the package"
done
depends=$(dpkg-deb -f "$deb" Depends)
# The program's and the modules' libraries, which the program loads itself.
for library in libqt6widgets6 libqt6printsupport6 libpulse0 libmpfr6; do
    [[ $depends == *"$library ("* ]] || fail "no dependency on $library: $depends"
done
[[ $(dpkg-deb -f "$deb" Recommends) == *qt6-translations-l10n* ]] ||
    fail "Qt's translations are not recommended"
dpkg-deb -x "$deb" "$work/root"
file "$work/root/usr/bin/tapecalc" | grep -q ", stripped" || fail "the program is not stripped"
echo "package: $(basename "$deb"), $(wc -l <"$work/contents") entries; Depends: $depends"
