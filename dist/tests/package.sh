#!/usr/bin/env bash
# Makes the Debian package with CPack and checks it: lintian without errors, the files an
# installed desktop program brings, dependencies found from the linked libraries, a
# stripped program. Run by ctest (label package).
# Usage: package.sh BUILD_DIR VERSION APP_ID
set -euo pipefail
build=$1 version=$2 id=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" ||
    { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/tapecalc_"$version"_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || fail "no package made"

lintian --fail-on error --display-level ">=warning" "$deb" 2>&1 |
    grep -v "running with root privileges" || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || fail "lintian reports errors"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
for path in /usr/bin/tapecalc \
    "/usr/share/applications/$id.desktop" "/usr/share/metainfo/$id.metainfo.xml" \
    "/usr/share/icons/hicolor/48x48/apps/$id.png" "/usr/share/icons/hicolor/scalable/apps/$id.svg" \
    /usr/share/man/man1/tapecalc.1.gz /usr/share/doc/tapecalc/copyright \
    /usr/share/doc/tapecalc/changelog.gz /usr/share/tapecalc/shengyin/5.wav \
    /usr/share/tapecalc/anniu/0x.jpg /usr/share/tapecalc/help/index.html \
    /usr/lib/tapecalc/modules/tapecalc-print.so \
    /usr/lib/tapecalc/modules/tapecalc-sound.so; do
    grep -qx "$path" "$work/contents" || fail "$path is not in the package"
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6printsupport6 libpulse0 libmpfr6; do
    [[ $depends == *"$library ("* ]] || fail "no dependency on $library: $depends"
done
# The modules' libraries as well, which the program loads itself.
[[ $depends == *"libmpfr6 ("* ]] || fail "no dependency on libmpfr6: $depends"
[[ $(dpkg-deb -f "$deb" Recommends) == *qt6-translations-l10n* ]] ||
    fail "Qt's translations are not recommended"
dpkg-deb -x "$deb" "$work/root"
file "$work/root/usr/bin/tapecalc" | grep -q ", stripped" || fail "the program is not stripped"
echo "package: $(basename "$deb"), $(wc -l <"$work/contents") entries; Depends: $depends"
