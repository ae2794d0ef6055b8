# Sourced by test.sh and run.sh: installs the Debian packages pz4 needs when
# they are missing. Usage: pz4_ensure_packages pkg...
pz4_ensure_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

PZ4_BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev libgif-dev libpng-dev
                    libgtest-dev libgmock-dev libbenchmark-dev ccache)
PZ4_TEST_PACKAGES=(clang libclang-rt-14-dev g++-mingw-w64-x86-64-posix qt6-qpa-plugins fonts-dejavu-core imagemagick python3-pil ffmpeg)
PZ4_RUN_PACKAGES=(qt6-qpa-plugins fonts-dejavu-core xvfb xauth)
# Only tools/screenshot.sh: a window manager draws the captions in the picture.
PZ4_SCREENSHOT_PACKAGES=(openbox)
