#!/bin/bash
# Cross-builds TapeCalc for 64-bit Windows on Debian: MinGW-w64 (posix threads), a Qt
# built from Debian's own sources of the installed Qt version, the installer (NSIS) and a
# portable zip. The suites run under wine.
#
#   tools/windows/build.sh            Qt (base), GMP, MPFR, the program,
#                                     TapeCalc-<version>-win64-setup.exe, the zip and
#                                     the installer's winget manifest (packages/winget/)
#   tools/windows/build.sh --core     QtCore + QtTest, GMP, MPFR, and the suites that
#                                     need QtCore alone, under wine (CI: about 8 minutes
#                                     on a fresh cache, 5 of them QtCore and QtTest)
#   options: --test (full mode: run every suite under wine too, the sound suites first,
#            on a PulseAudio server of its own, none of them allowed to skip),
#            --no-pack, --qt-only
#
# What is built once lives outside the repository, in
# ${TAPECALC_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tapecalc-windows}: the sources,
# the Windows Qt (qt/), GMP and MPFR (deps/), a wine prefix for the suites (wine/), and a
# stamp per component (stamps/): a component with its stamp is never built again. An
# interrupted one starts again from a clean folder, except a Qt base build that got past
# its configure step: ninja goes on with it, as ninja never keeps a half-written output.
# --core builds QtCore and QtTest in the same Qt build folder, and the full mode goes on
# from there. The program is built in build-windows/ (build-windows-core/ for --core).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=../setup.sh
source "$root/tools/setup.sh"

mode=full
run_tests=0
pack=1
qt_only=0
for arg in "$@"; do
    case $arg in
    --core) mode=core ;;
    --test) run_tests=1 ;;
    --no-pack) pack=0 ;;
    --qt-only) qt_only=1 ;;
    -h | --help)
        sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'
        exit 0
        ;;
    *)
        echo "build.sh: unknown option $arg (see --help)" >&2
        exit 2
        ;;
    esac
done
[ "$mode" = core ] && run_tests=1 && pack=0

cache=${TAPECALC_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tapecalc-windows}
host=x86_64-w64-mingw32
qt=$cache/qt               # the Windows Qt, installed
deps=$cache/deps           # GMP and MPFR, static
stamps=$cache/stamps
jobs=$(nproc)
# The long builds give way to whatever else runs on the machine.
slow=(nice -n 19)
command -v ionice >/dev/null && slow+=(ionice -c3)
mkdir -p "$cache/src" "$cache/build" "$stamps"

say() { printf '\n== %s\n' "$*"; }
done_() { [ -e "$stamps/$1" ]; }
stamp() { date -u +%FT%TZ >"$stamps/$1"; }
took() { # component, start second[, the folder it installs into]: one line for the summary
    local s=$(($(date +%s) - $2)) size=""
    [ -z "${3:-}" ] || size="  ($3 now $(du -sh "$3" | cut -f1))"
    printf '%-16s %3d min %02d s%s\n' "$1" $((s / 60)) $((s % 60)) "$size" |
        tee -a "$cache/times.log"
}

say "Packages"
# shellcheck disable=SC2046
tapecalc_install_missing cmake ninja-build pkg-config dpkg-dev \
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64 \
    wine wine64 m4 qt6-base-dev qt6-base-dev-tools \
    $([ "$mode" = full ] && echo nsis)

# ---- Sources, through a sources list of our own: apt's configuration and lists stay as
# they are. The deb-src entries name the mirrors and suites of the system's deb entries.
fetch_sources() {
    done_ sources && return 0
    say "Sources (apt-get source)"
    local apt=$cache/apt
    rm -rf "$apt" "$cache/src"
    mkdir -p "$apt/parts" "$apt/lists/partial" "$apt/cache/archives/partial" "$cache/src"
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -e "$f" ] || continue
        sed -n 's/^Types:.*\bdeb\b.*/Types: deb-src/; p' "$f"
        echo
    done >"$apt/parts/tapecalc-src.sources"
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -e "$f" ] || continue
        sed -n 's/^[[:space:]]*deb\([[:space:]]\)/deb-src\1/p' "$f"
    done >"$apt/parts/tapecalc-src.list"
    local opts=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt/parts"
        -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache"
        -o APT::Sandbox::User=root)
    apt-get "${opts[@]}" update -qq
    # The Qt sources of the Qt installed here: its host tools build the Windows Qt.
    local base
    base=$(dpkg-query -W -f='${source:Version}' qt6-base-dev)
    (cd "$cache/src" && apt-get "${opts[@]}" source -qq "qt6-base=$base" gmp mpfr4 >/dev/null)
    rm -rf "$apt"
    stamp sources
}

# ---- A CMake toolchain for the -posix MinGW compilers (std::thread needs them).
write_toolchain() {
    cat >"$cache/mingw-posix.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER   /usr/bin/$host-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/$host-g++-posix)
set(CMAKE_RC_COMPILER  /usr/bin/$host-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$host $qt $deps)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
}

srcdir() { # the unpacked folder of a source package, by its name's start
    local d
    d=$(find "$cache/src" -maxdepth 1 -mindepth 1 -type d -name "$1-*" | head -n 1)
    [ -n "$d" ] || {
        echo "build.sh: no sources for $1 in $cache/src" >&2
        exit 1
    }
    echo "$d"
}

# ---- GMP and MPFR: static libraries, autotools.
build_autotools() { # stamp name, source folder, configure options...
    local name=$1 src=$2
    shift 2
    done_ "$name" && return 0
    say "$name"
    local t0 b=$cache/build/$name
    t0=$(date +%s)
    rm -rf "$b"
    mkdir -p "$b"
    (cd "$b" && "${slow[@]}" "$src/configure" --host=$host --prefix="$deps" \
        --enable-static --disable-shared CC=$host-gcc-posix CXX=$host-g++-posix "$@" \
        >configure.log 2>&1 &&
        "${slow[@]}" make -j"$jobs" >make.log 2>&1 && make install >install.log 2>&1) || {
        echo "build.sh: $name failed; see $b/*.log" >&2
        exit 1
    }
    rm -rf "$b"
    stamp "$name"
    took "$name" "$t0" "$deps"
}

# ---- qtbase. One build folder for both modes: --core builds and installs the QtCore and
# QtTest parts of it, the full mode builds the rest and installs everything.
qtbase_configure() {
    local b=$cache/build/qtbase
    [ -e "$b/.configured" ] && return 0
    rm -rf "$b"
    mkdir -p "$b"
    local t0
    t0=$(date +%s)
    say "qtbase: configure"
    (cd "$b" && "${slow[@]}" cmake -G Ninja "$(srcdir qt6-base)" \
        -DCMAKE_TOOLCHAIN_FILE="$cache/mingw-posix.cmake" \
        -DCMAKE_INSTALL_PREFIX="$qt" -DCMAKE_BUILD_TYPE=Release \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
        -DFEATURE_opengl=OFF -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_vulkan=OFF \
        -DFEATURE_tabletevent=OFF -DFEATURE_icu=OFF -DFEATURE_system_zlib=OFF \
        -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
        -DFEATURE_system_freetype=OFF -DFEATURE_system_jpeg=OFF \
        -DFEATURE_system_png=OFF -DFEATURE_openssl=OFF \
        >configure.log 2>&1) || {
        echo "build.sh: qtbase configure failed; see $b/configure.log" >&2
        exit 1
    }
    touch "$b/.configured"
    took "qtbase configure" "$t0"
}

# The install scripts of the folders that make QtCore and QtTest usable from a project:
# the top folder's own files (Qt6Config, the toolchain file, global targets), the
# entry point, the bundled zlib's headers (QtCore links it in) and the two modules.
# The top folder is installed "locally", without the rest.
qtbase_core_parts=(src/3rdparty/zlib src/entrypoint src/corelib src/testlib)

build_qtbase_core() {
    done_ qtbase-core && return 0
    qtbase_configure
    local b=$cache/build/qtbase t0
    t0=$(date +%s)
    say "qtbase: QtCore and QtTest"
    "${slow[@]}" ninja -C "$b" -j"$jobs" Core Test EntryPointImplementation >"$b/core.log" 2>&1 || {
        echo "build.sh: QtCore/QtTest failed; see $b/core.log" >&2
        exit 1
    }
    (cd "$b" && cmake -DCMAKE_INSTALL_LOCAL_ONLY=ON -P cmake_install.cmake &&
        for d in "${qtbase_core_parts[@]}"; do cmake -P "$d/cmake_install.cmake"; done) \
        >"$b/core-install.log" 2>&1 || {
        echo "build.sh: installing QtCore/QtTest failed; see $b/core-install.log" >&2
        exit 1
    }
    stamp qtbase-core
    took "QtCore+QtTest" "$t0" "$qt"
}

build_qtbase() {
    done_ qtbase && return 0
    qtbase_configure
    local b=$cache/build/qtbase t0
    t0=$(date +%s)
    # Qt 6.4's Windows platform plugin asks the dynamic OpenGL loader whether GL is software
    # rendered even when OpenGL is off (dynamicgl stays on by default with MinGW); without
    # OpenGL the answer is no. Applied once to the unpacked sources, before the plugin builds.
    perl -0pi -e 's/(isSoftwareGl\(\)\n\{\n#if QT_CONFIG\(dynamicgl\))\n/$1 && QT_CONFIG(opengl)\n/' \
        "$(srcdir qt6-base)/src/plugins/platforms/windows/qwindowswindow.cpp"
    say "qtbase: everything"
    "${slow[@]}" ninja -C "$b" -j"$jobs" >"$b/build.log" 2>&1 || {
        echo "build.sh: qtbase failed; see $b/build.log" >&2
        exit 1
    }
    ninja -C "$b" install >"$b/install.log" 2>&1
    stamp qtbase
    stamp qtbase-core
    took "qtbase" "$t0" "$qt"
}

# The whole run is one function, read by bash before any of it starts: editing this file
# while it runs changes nothing underneath a build.
main() {
    fetch_sources
    write_toolchain
    if [ "$mode" = core ]; then
        build_qtbase_core
    else
        build_qtbase
    fi
    # Debian's GMP sources lack the manual (DFSG); its configure and Makefile.in still
    # name doc/, which Debian regenerates with autoreconf. An empty doc/ does as well.
    local gmp
    gmp=$(srcdir gmp)
    [ -e "$gmp/doc/Makefile.in" ] || {
        mkdir -p "$gmp/doc"
        printf 'all:\n.DEFAULT:\n\t@:\n' >"$gmp/doc/Makefile.in"
    }
    build_autotools gmp "$gmp" --enable-cxx
    build_autotools mpfr "$(srcdir mpfr4)" --with-gmp="$deps"
    say "Installed: Qt $(du -sh "$qt" | cut -f1), GMP+MPFR $(du -sh "$deps" | cut -f1)"
    [ "$qt_only" = 1 ] && exit 0

    # ---- TapeCalc with that Qt. ctest runs each suite through wine-run.sh.
    build=$root/build-windows
    options=(-DTAPECALC_BENCH=OFF -DBUILD_TESTING=ON)
    if [ "$mode" = core ]; then
        build=$root/build-windows-core
        options+=(-DTAPECALC_QTCORE_ONLY=ON)
    fi
    say "TapeCalc ($build)"
    t0=$(date +%s)
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$here/wine-run.sh;$qt" \
        "${options[@]}" >/dev/null
    cmake --build "$build" -j"$jobs"
    took "TapeCalc" "$t0"

    # The installer first: one of the suites installs it.
    if [ "$pack" = 1 ]; then
        say "Installer and zip"
        (cd "$build" && cpack -B "$build/packages" >"$build/cpack.log" 2>&1) || {
            echo "build.sh: cpack failed; see $build/cpack.log" >&2
            exit 1
        }
        ls -l "$build"/packages/*.exe "$build"/packages/*.zip
        # The winget manifest CPack wrote after the installer, with its SHA-256.
        find "$build/packages/winget" -name '*.yaml' | sort
    fi

    status=0
    if [ "$run_tests" = 1 ]; then
        say "Suites under wine"
        tapecalc_install_missing xvfb pulseaudio pulseaudio-utils
        # shellcheck source=../xvfb.sh
        source "$root/tools/xvfb.sh"
        # Wine makes a desktop window at its first start: with no display then, later windows
        # never appear. The suites draw offscreen, but wine still wants a display.
        [ -n "${DISPLAY:-}" ] || start_xvfb 1280x1024x24
        # The sound suites record what they play on the null sink of a server of this run's
        # own (tools/start-pulse.sh): winepulse finds it through PULSE_SERVER, the suites
        # through the TCP ports it exports. Stopped at the end, however the script ends.
        # shellcheck source=../start-pulse.sh
        source "$root/tools/start-pulse.sh"
        trap 'stop_pulse; [ -z "${xvfb_pid:-}" ] || { kill "$xvfb_pid"; wait "$xvfb_pid"; } 2>/dev/null' EXIT
        start_pulse || {
            echo "build.sh: no PulseAudio server for the sound suites" >&2
            exit 1
        }
        t0=$(date +%s)
        # Wine's own processes (wineserver, services, consoles) outlive the program that
        # started them, holding on to its output: ctest would wait for them to end. They
        # are started here, away from ctest's pipes, and ended afterwards.
        local run=("$here/wine-run.sh" "$qt" cmd /c exit)
        "${run[@]}" </dev/null >/dev/null 2>&1 || true # makes the prefix on first use
        WINEPREFIX=$cache/wine wineserver -w
        WINEPREFIX=$cache/wine wineserver -p </dev/null >/dev/null 2>&1
        "${run[@]}" </dev/null >/dev/null 2>&1 || true
        # The sound suites alone, one at a time (they share the sink), where a missing
        # server fails instead of skipping (testsupport/missing.h); then the rest.
        TAPECALC_REQUIRE_TOOLS=1 ctest --test-dir "$build" --output-on-failure -L sound \
            --timeout 600 || status=$?
        ctest --test-dir "$build" --output-on-failure -LE sound -j"$jobs" --timeout 600 ||
            status=$?
        WINEPREFIX=$cache/wine wineserver -k || true
        took "ctest" "$t0"
    fi
    exit "$status"
}
main
