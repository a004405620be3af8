#!/usr/bin/env bash
# Assembles the Debian source package: the upstream tarball from the git tree (the tracked
# files as they are in the working tree, committed or not), with dist/debian/ as debian/.
# The packaging stays in dist/debian/ so that a distribution's own debian/ never meets it.
#
#   tools/debian/source-package.sh [OUT]          OUT (default build-deb/) gets
#       tapecalc_<version>.orig.tar.xz, the .debian.tar.xz, the .dsc and the unpacked tree
#   tools/debian/source-package.sh --build [OUT]  then dpkg-buildpackage -us -uc in that
#       tree (DEB_BUILD_OPTIONS as set by the caller; nocheck skips the suites)
#
# Needs: git, dpkg-dev (xz-utils); --build: the package's Build-Depends.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=0
if [ "${1:-}" = --build ]; then
    build=1
    shift
fi
out=$(mkdir -p "${1:-$root/build-deb}" && cd "${1:-$root/build-deb}" && pwd)

version=$(sed -n 's/^project(TapeCalc VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
debian_version=$(dpkg-parsechangelog -l "$root/dist/debian/changelog" -S Version)
[ "${debian_version%-*}" = "$version" ] || {
    echo "source-package.sh: dist/debian/changelog is at $debian_version, CMake at $version;" \
        "add a changelog entry (dch -v $version-1)" >&2
    exit 1
}

# The working tree's tracked files: a commit object of them, made without touching the
# index, a branch or the stash (the tree as it is when nothing is uncommitted).
tree=$(git -C "$root" stash create)
tree=${tree:-HEAD}
name=tapecalc-$version
rm -rf "${out:?}/$name" "$out"/tapecalc_"$version"*
git -C "$root" archive --format=tar --prefix="$name/" "$tree" | xz -T1 -6 \
    >"$out/tapecalc_$version.orig.tar.xz"
tar -C "$out" -xJf "$out/tapecalc_$version.orig.tar.xz"
cp -a "$out/$name/dist/debian" "$out/$name/debian"
(cd "$out" && dpkg-source -b "$name" >/dev/null)
echo "$out/tapecalc_$debian_version.dsc"

if [ "$build" = 1 ]; then
    (cd "$out/$name" && dpkg-buildpackage -us -uc)
fi
