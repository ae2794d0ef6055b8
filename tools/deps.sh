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

# The package with the sanitizer and libFuzzer runtimes of the installed clang
# (install clang first): libclang-rt-N-dev, or on releases before that package
# existed, libclang-common-N-dev, which carried them.
pz4_clang_runtime_package() {
    local major
    major=$(clang -dumpversion 2>/dev/null | cut -d. -f1)
    if [ -z "$major" ]; then
        echo "pz4: clang is not installed; cannot pick its runtime package" >&2
        return 1
    fi
    if apt-cache show "libclang-rt-$major-dev" >/dev/null 2>&1; then
        echo "libclang-rt-$major-dev"
    else
        echo "libclang-common-$major-dev"
    fi
}

PZ4_BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev libgif-dev libpng-dev
                    libimagequant-dev libjpeg-dev libwebp-dev nlohmann-json3-dev
                    libgtest-dev libgmock-dev libbenchmark-dev ccache)
# The sanitizer and libFuzzer runtimes belong to one clang version each: see
# pz4_clang_runtime_package.
PZ4_TEST_PACKAGES=(clang g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix qt6-qpa-plugins fonts-dejavu-core
                   imagemagick python3-pil ffmpeg desktop-file-utils appstream dpkg-dev file)
PZ4_RUN_PACKAGES=(qt6-qpa-plugins fonts-dejavu-core xvfb xauth)
# Only tools/screenshot.sh: a window manager draws the captions in the picture.
PZ4_SCREENSHOT_PACKAGES=(openbox)
