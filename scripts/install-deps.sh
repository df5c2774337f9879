#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test, benchmark and fuzz.
# Idempotent: packages already present are left alone and apt-get runs only when one is missing.
set -euo pipefail

PACKAGES=(
    build-essential
    cmake
    ninja-build
    pkg-config
    clang
    libclang-rt-14-dev
    clang-format
    googletest
    libgtest-dev
    libgmock-dev
    libbenchmark-dev
    libsqlite3-dev
    sqlite3
    locales # localedef sources: the settings tests generate de_DE.UTF-8 when it is missing
    libopencv-dev # benchmark anchor only (bench/); never linked into the product
    libtiff-dev
    libpng-dev
    qt6-base-dev
    libqt6svg6 # the SVG icon engine and image plugin: the toolbar icons are SVG
    xvfb # a display for the screenshots and the live-display benchmark
    xauth # xvfb-run needs it
    nlohmann-json3-dev # kavrin's JSON output
    libtiff-tools
    imagemagick
    desktop-file-utils # desktop-file-validate: the install test checks the desktop entry
    appstream # appstreamcli: the install test checks the AppStream metadata
    groff-base # the install test checks the manual pages for warnings
    binutils # readelf: the install test reads the installed programs' RPATH
    dpkg-dev # dpkg-shlibdeps: `make package` names the package's dependencies with it
    file # CPack's Debian generator finds the ELF files for dpkg-shlibdeps with it
    python3-tifffile # the kavrin verify tests read the frame record from the ImageDescription with it
    zlib1g-dev # the frame record's CRC-32
    libavcodec-dev # the video file types: encoders and decoders (H.264, FFV1, Motion JPEG)
    libavformat-dev # the video file types: MP4, Matroska and AVI containers
    libavutil-dev # the video file types: frames, options, metadata
    libswscale-dev # the video file types: RGB to and from 4:2:0
    ffmpeg # ffprobe: the video file tests check what players see
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all ${#PACKAGES[@]} packages present"
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
