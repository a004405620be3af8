# Sourced by run.sh and test.sh: installs on Debian/Ubuntu whatever of the build and
# test packages is missing. Needs root or sudo when something is missing.

tapecalc_packages=(
    # build
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libgl-dev libbenchmark-dev
    # the fuzz targets: clang and its libFuzzer runtime
    clang libclang-rt-dev
    # run: Chinese fonts (cues play through Qt Multimedia's own PulseAudio output)
    fonts-noto-cjk
    # real parts for the tests and for a machine without a display
    xvfb xauth xdotool pulseaudio pulseaudio-utils
    cups printer-driver-cups-pdf poppler-utils
)

tapecalc_install_missing() {
    local missing=()
    local pkg
    for pkg in "${tapecalc_packages[@]}"; do
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
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}
