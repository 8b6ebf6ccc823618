#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; does nothing when all are present.
set -euo pipefail

packages=(
  cmake g++ make
  rapidjson-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libzxing-dev
  python3 python3-jsonschema
  # PDF, SVG and PNG output: cairo, Pango (HarfBuzz, fontconfig), libpng, libjpeg-turbo, giflib,
  # libwebp, libxml2 (the HTML of rich texts), and the metric-compatible fonts the export
  # resolves Arial, Times New Roman and Courier New to.
  pkg-config libcairo2-dev libpango1.0-dev libpng-dev libturbojpeg0-dev libgif-dev libwebp-dev
  libxml2-dev
  fonts-liberation2 fonts-dejavu-core
  # The export tests read PDFs back, check SVG and rasterize it.
  poppler-utils libxml2-utils librsvg2-bin
  # The fuzz targets: clang with libFuzzer and its sanitizer runtimes.
  clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
