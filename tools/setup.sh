# Sourced by run.sh and test.sh: installs on Debian/Ubuntu whatever of the packages is
# missing. Needs root or sudo when something is missing.

# What building and running the calculator needs.
tapecalc_run_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    # the voice cues' sound output: PulseAudio's client library (PipeWire serves it too)
    libpulse-dev
    # the function keys' correctly rounded sin, cos, tan, exp and log
    libmpfr-dev
    # a print job's fate: the scheduler's answer about the job just sent
    libcups2-dev
    # the font configuration, read while the window system connects
    libfontconfig-dev
)
# What the tests need besides: benchmarks, real parts (a display, a sound server, a
# printer queue) and the tools that check the installed tree and the package.
tapecalc_test_packages=(
    libbenchmark-dev
    # the fuzz targets: clang and its libFuzzer runtime; the sources' layout check
    clang libclang-rt-dev clang-format
    xvfb xauth xdotool pulseaudio pulseaudio-utils
    # the key-to-voice benchmark's floor client: a bare X window; the start-up benchmark's
    # clock: the X server's reports of a window mapped and drawn
    libx11-dev libxdamage-dev
    cups printer-driver-cups-pdf poppler-utils
    desktop-file-utils appstream lintian dpkg-dev file
    # the Debian package, built from the source package in dist/debian/
    build-essential debhelper
    # the kill soak stops a saving process at chosen system calls; the full-disk suites
    # mount a small tmpfs of their own (mount is not essential: in sid nothing else brings it)
    strace mount
    # a screen reader's view: a session bus, the AT-SPI bus and a client for it
    dbus-daemon at-spi2-core python3-pyatspi
    # the window on real desktops: a window manager, fcitx5 pinyin, weston with XWayland,
    # Qt's Wayland platform, and Qt's translations for the message box and menus
    openbox x11-utils imagemagick fcitx5 fcitx5-chinese-addons fcitx5-frontend-qt6
    weston xwayland qt6-wayland qt6-translations-l10n
)

tapecalc_install_missing() { # package names; none: everything for building and testing
    local wanted=("$@")
    [ $# -gt 0 ] || wanted=("${tapecalc_run_packages[@]}" "${tapecalc_test_packages[@]}")
    local missing=()
    local pkg
    for pkg in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if ! command -v apt-get >/dev/null 2>&1; then
        echo "Missing packages (install them by hand): ${missing[*]}" >&2
        return 1
    fi
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

tapecalc_build() { # build folder, then extra CMake options
    local dir=$1
    shift
    # Any compiler warning fails the build, with GCC and clang alike.
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}
