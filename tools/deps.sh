#!/usr/bin/env bash
# Installs the Debian packages a task needs and that are missing: `tools/deps.sh run|test|bench`.
# Runs apt-get as root, or through sudo for other users. A package already there is left alone.
set -euo pipefail

build=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    libxcb1-dev libxcb-shm0-dev libxcb-randr0-dev libxcb-xfixes0-dev libxcb-shape0-dev
    libdeflate-dev zlib1g-dev libpulse-dev x11proto-dev
    libjpeg62-turbo-dev libcups2-dev libqt6printsupport6 libwebp7 libcurl4-openssl-dev
    qt6-webengine-dev qt6-declarative-dev
    fonts-dejavu-core fonts-noto-cjk
    libtesseract-dev tesseract-ocr-eng tesseract-ocr-kor tesseract-ocr-jpn tesseract-ocr-chi-sim
    tesseract-ocr-rus tesseract-ocr-ita tesseract-ocr-fra)
# What the program runs at run time: the encoder of the MP4 recordings.
runtime=(ffmpeg)
# For a machine without a display: the private X desktop that ./run starts.
desktop=(xvfb openbox x11-utils)
test=("${build[@]}" "${runtime[@]}" "${desktop[@]}" pulseaudio clang-14 libclang-rt-14-dev clang-format ccache libpng-dev
    xdotool x11-xserver-utils xserver-xorg-core xserver-xorg-video-dummy
    trayer libglib2.0-bin
    qt6-httpserver-dev qt6-websockets-dev
    libgif-dev libwebp-dev xclip cups cups-client printer-driver-cups-pdf poppler-utils imagemagick)
bench=("${test[@]}" libbenchmark-dev scrot flameshot hyperfine libxcb-xtest0-dev libjpeg-turbo-progs webp curl
    tesseract-ocr)

case "${1:-}" in
    run) wanted=("${build[@]}" "${runtime[@]}" "${desktop[@]}") ;;
    test) wanted=("${test[@]}") ;;
    bench) wanted=("${bench[@]}") ;;
    *) echo "usage: $0 run|test|bench" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
    as_root=()
elif command -v sudo >/dev/null; then
    as_root=(sudo)
else
    echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
"${as_root[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
