#!/usr/bin/env bash
# Runs the project in another Debian made for the run from the package registry:
#
#   tools/debian/chroot-test.sh SUITE               ./test.sh inside (e.g. trixie: Qt 6.8)
#   tools/debian/chroot-test.sh --package SUITE     the source package built there in a
#       system with nothing but build-essential, git (which makes the source package) and
#       the package's Build-Depends (apt-get build-dep), then lintian, installed after the
#       build, on its .changes; the results land in build-deb-SUITE/
#   tools/debian/chroot-test.sh SUITE -- COMMAND... a command in the copy of the tree
#   tools/debian/chroot-test.sh [--package] SUITE SUITE... [-- COMMAND...]
#       each suite in turn (e.g. bookworm trixie sid: Qt 6.4, 6.8 and 6.11), a system made
#       afresh for each, then what each gave; exits 0 only when every one passed
#
# SUITE is any suite the registry serves (bookworm, trixie, sid, testing ...). A suite
# whose Release file has expired (a copy of sid or testing kept longer than the week its
# Release is valid for) is made and used with apt's check of that date turned off, and the
# script says so; its signature is still checked.
#
# The system is made with mmdebstrap in a folder under /var/tmp, the working tree's
# tracked files are copied into it (/src, a git repository of its own), and the run is
# chrooted in namespaces of its own: its mounts (/proc, /sys, a /dev with fresh /dev/pts
# and /dev/shm, /tmp, /run) and its network (only a loopback, so its CUPS scheduler,
# X displays and sound server meet none of the machine's) end with it, and the folder is
# removed however the script ends. Needs root, mmdebstrap; the mirror is the first of
# /etc/apt's Debian sources (MIRROR= to choose another).
set -euo pipefail

main() {

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=../setup.sh
source "$root/tools/setup.sh"

mode=test
options=()
if [ "${1:-}" = --package ]; then
    mode=package
    options=(--package)
    shift
fi
suites=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
    suites+=("$1")
    shift
done
[ ${#suites[@]} -gt 0 ] || {
    echo "usage: chroot-test.sh [--package] SUITE... [-- COMMAND...]" >&2
    exit 2
}
command=()
if [ "${1:-}" = -- ]; then
    shift
    command=("$@")
    mode=command
fi
[ "$(id -u)" -eq 0 ] || {
    echo "chroot-test.sh: needs root (chroot, mounts, namespaces)" >&2
    exit 1
}

# A signal ends the step that runs (mmdebstrap, the chrooted run with all it started, or
# one suite's run of this script), then the folder goes: bash would keep a trap waiting for
# a command in the foreground. Each step is a process group of its own, signalled whole,
# SIGTERM and after its grace SIGKILL: mmdebstrap's workers clean up after themselves on
# SIGTERM (30 s); unshare holds SIGTERM back while its child runs (0 s), and its end ends
# the chrooted run with it (--kill-child); a suite's run ends its own step and removes its
# folder (60 s).
step_pid="" step_grace=0
on_signal() {
    if [ -n "$step_pid" ]; then
        kill -TERM -- "-$step_pid" 2>/dev/null || true
        local tries=0
        while kill -0 -- "-$step_pid" 2>/dev/null && [ "$tries" -lt $((step_grace * 2)) ]; do
            sleep 0.5
            tries=$((tries + 1))
        done
        kill -KILL -- "-$step_pid" 2>/dev/null || true
        wait "$step_pid" 2>/dev/null || true
    fi
    exit "$1"
}
step() { # grace in seconds, command...
    step_grace=$1
    shift
    setsid "$@" &
    step_pid=$!
    local status=0
    wait "$step_pid" || status=$?
    step_pid=""
    return "$status"
}
trap 'on_signal 130' INT
trap 'on_signal 143' TERM

if [ ${#suites[@]} -gt 1 ]; then
    # One after another, each by a run of this script of its own, whatever the one before
    # gave; then what each gave.
    local name status=0 results=() one start
    for name in "${suites[@]}"; do
        one=0
        start=$(date +%s)
        step 60 bash "${BASH_SOURCE[0]}" "${options[@]}" "$name" \
            ${command[@]+-- "${command[@]}"} || one=$?
        results+=("   $name: exit $one in $(($(date +%s) - start)) s")
        [ "$one" -eq 0 ] || status=1
    done
    echo "== ${suites[*]}:"
    printf '%s\n' "${results[@]}"
    exit "$status"
fi
suite=${suites[0]}
tapecalc_install_missing mmdebstrap iproute2 util-linux

mirror=${MIRROR:-$(sed -n 's/^URIs:[[:space:]]*\(http[^[:space:]]*\/debian\)$/\1/p' \
    /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1)}
mirror=${mirror:-http://deb.debian.org/debian}

# The suite's Release file: a suite the registry does not serve ends here, and one whose
# Release has expired is read without apt's date check (in mmdebstrap and, through the
# setting it writes into the system, in the apt-get runs inside).
aptopts=(--aptopt='Acquire::Retries "3"')
release=$(mktemp)
if ! /usr/lib/apt/apt-helper download-file "$mirror/dists/$suite/Release" "$release" \
    >/dev/null 2>&1; then
    rm -f "$release"
    echo "chroot-test.sh: $mirror serves no suite $suite (no dists/$suite/Release)" >&2
    exit 1
fi
valid_until=$(sed -n 's/^Valid-Until: //p' "$release")
codename=$(sed -n 's/^Codename: //p' "$release")
rm -f "$release"
if [ -n "$valid_until" ] && [ "$(date -d "$valid_until" +%s)" -lt "$(date +%s)" ]; then
    [ "$codename" = "$suite" ] || codename="$suite ($codename)"
    echo "   $codename: its Release expired on $valid_until; apt's date check is off"
    aptopts+=(--aptopt='Acquire::Check-Valid-Until "false"')
fi

if [ "$mode" = package ]; then
    packages=(build-essential git xz-utils)
else
    packages=("${tapecalc_run_packages[@]}" "${tapecalc_test_packages[@]}" git)
fi

work=$(mktemp -d /var/tmp/tapecalc-chroot.XXXXXX)
cleanup() {
    # The run's mounts lived in a namespace of its own; mmdebstrap's, made while it works,
    # are unmounted if it was stopped before it could. Nothing is removed through a mount,
    # and nothing still running inside the system (what a killed mmdebstrap had started
    # there) outlives it.
    local target proc
    for proc in /proc/[0-9]*; do
        case $(readlink "$proc/root" 2>/dev/null) in
        "$work"/*) kill -KILL "${proc#/proc/}" 2>/dev/null || true ;;
        esac
    done
    for target in $(findmnt -rn -o TARGET | grep "^$work/" | sort -r || true); do
        umount "$target" || true
    done
    if findmnt -rn -o TARGET | grep -q "^$work/"; then
        echo "chroot-test.sh: something is still mounted under $work; left in place" >&2
        return
    fi
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT

t0=$(date +%s)
echo "== $suite from $mirror into $work"
include=$(IFS=,; echo "${packages[*]}")
step 30 nice -n 10 mmdebstrap --variant=apt "${aptopts[@]}" --include="$include" "$suite" \
    "$work/root" "$mirror" >"$work/mmdebstrap.log" 2>&1 || {
    tail -n 20 "$work/mmdebstrap.log" >&2
    exit 1
}
t1=$(date +%s)
echo "   made in $((t1 - t0)) s: $(du -sh "$work/root" | cut -f1)"

# A machine id, as an installed system has (mmdebstrap leaves it empty): D-Bus, which the
# desktop and screen-reader suites start, refuses to run without one.
od -An -N16 -tx1 /dev/urandom | tr -d ' \n' >"$work/root/etc/machine-id"
echo >>"$work/root/etc/machine-id"

# The tracked files as they are in the working tree (a commit object made without
# touching the index or a branch), as a repository of their own: the package test
# makes its source package from git.
tree=$(git -C "$root" stash create)
mkdir "$work/root/src"
git -C "$root" archive "${tree:-HEAD}" | tar -x -C "$work/root/src"
git -C "$work/root/src" init -q
git -C "$work/root/src" add -A
git -C "$work/root/src" -c user.name=chroot -c user.email=chroot@localhost \
    commit -qm "tree under test"

inner=(bash -c 'cd /src && ./test.sh')
case $mode in
package)
    # shellcheck disable=SC2016 # expanded inside the chroot
    inner=(bash -c 'set -e; cd /src
        export DEBIAN_FRONTEND=noninteractive # no terminal for debconf to ask on
        tools/debian/source-package.sh /deb >/dev/null
        apt-get update -qq
        cd /deb/tapecalc-* && apt-get build-dep -y -q ./ >/tmp/build-dep.log
        echo "   Build-Depends installed: $(grep -c "^Setting up" /tmp/build-dep.log) packages"
        dpkg-buildpackage -us -uc >/deb/build.log 2>&1 || { tail -n 40 /deb/build.log; exit 1; }
        grep -E "^[0-9]+% tests passed|tests failed" /deb/build.log || true
        apt-get install -y -q --no-install-recommends lintian >/dev/null
        lintian --fail-on error,warning /deb/*.changes')
    ;;
command) inner=(bash -c 'cd /src && "$@"' bash "${command[@]}") ;;
esac

# The chroot's own /dev: the usual devices bound one by one, a fresh pts and shm.
setup_and_run=$(
    cat <<'EOF'
set -e
r=$1
shift
if [ -n "$own_network" ]; then
    ip link set lo up
else
    cp /etc/resolv.conf "$r/etc/resolv.conf"
fi
mount -t proc proc "$r/proc"
mount -t sysfs sysfs "$r/sys"
mount -t tmpfs -o mode=755 dev "$r/dev"
for d in null zero full random urandom tty; do
    touch "$r/dev/$d"
    mount --bind "/dev/$d" "$r/dev/$d"
done
mkdir -p "$r/dev/pts" "$r/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts "$r/dev/pts"
ln -s pts/ptmx "$r/dev/ptmx"
ln -s /proc/self/fd "$r/dev/fd"
mount -t tmpfs -o mode=1777 shm "$r/dev/shm"
mount -t tmpfs -o mode=1777 tmp "$r/tmp"
mount -t tmpfs -o mode=755 run "$r/run"
exec chroot "$r" env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    TERM=dumb "$@"
EOF
)
# The package's build fetches its Build-Depends; the suites keep to a network of their own.
namespaces=(--mount --propagation private --pid --fork --kill-child)
own_network=1
if [ "$mode" = package ]; then
    own_network=""
else
    namespaces+=(--net)
fi
echo "== $mode in $suite"
status=0
# unshare ends the run's whole process tree when it ends itself (--kill-child).
export own_network
step 0 nice -n 10 unshare "${namespaces[@]}" \
    bash -c "$setup_and_run" setup "$work/root" "${inner[@]}" || status=$?
t2=$(date +%s)
if [ "$mode" = package ]; then
    mkdir -p "$root/build-deb-$suite"
    cp "$work"/root/deb/*.* "$root/build-deb-$suite/" 2>/dev/null || true
fi
echo "== $suite: exit $status; system $((t1 - t0)) s, run $((t2 - t1)) s, whole $((t2 - t0)) s"
exit "$status"
}

# Read whole before it starts: editing this file during a run changes nothing of the run.
main "$@"
