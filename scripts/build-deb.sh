#!/usr/bin/env bash
# Builds the Debian packages (norvane, libnorvane-dev) from a copy of the working tree, checks them
# with lintian (no errors allowed), unpacks them with dpkg -x into a throwaway root and checks that
# each file lands where it should. The .deb files are left in OUT (default build/deb).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$source_dir/build/deb}")

packages=(build-essential debhelper dpkg-dev fakeroot lintian cmake g++ pkg-config rapidjson-dev
  libcairo2-dev libpango1.0-dev libpng-dev libturbojpeg0-dev libgif-dev libwebp-dev libxml2-dev)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/norvane-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
version=$(dpkg-parsechangelog -l "$source_dir/debian/changelog" -S Version)
tree="$work/norvane-$version"
mkdir -p "$tree"
# The files git knows of, committed or not; build folders stay behind.
(cd "$source_dir" && git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - --) | tar -xf - -C "$tree"

echo "Building the packages in $tree"
(cd "$tree" && DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)" dpkg-buildpackage -us -uc -b > "$work/build.log" 2>&1) || {
  tail -50 "$work/build.log"
  exit 1
}

changes=$(ls "$work"/norvane_*.changes)
echo "lintian:"
lintian --fail-on error "$changes"

arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
root="$work/root"
failures=0
expect() {  # expect PACKAGE PATH...: the files that package must install
  local package=$1
  shift
  local deb
  deb=$(ls "$work/${package}_"*.deb)
  rm -rf "$root" && mkdir -p "$root"
  dpkg -x "$deb" "$root"
  for path in "$@"; do
    if [ ! -e "$root/$path" ]; then
      echo "missing in $package: /$path"
      failures=$((failures + 1))
    fi
  done
  # Headers belong to the development package alone.
  if [ "$package" != libnorvane-dev ] && [ -d "$root/usr/include" ]; then
    echo "$package installs headers"
    failures=$((failures + 1))
  fi
}

expect norvane usr/bin/norvane usr/share/man/man1/norvane.1.gz usr/share/norvane/template.schema.json \
  usr/share/doc/norvane/copyright
"$root/usr/bin/norvane" --version
expect libnorvane-dev usr/include/norvane/Value.h usr/include/norvane/run/TMotorEjecucion.h \
  usr/include/norvane/document/TPlantilla.h "usr/lib/$arch/libnorvane_runtime.a" \
  "usr/lib/$arch/libnorvane_engine.a" "usr/lib/$arch/libnorvane_barcode.a" "usr/lib/$arch/libnorvane_export.a" \
  usr/include/norvane/Exporter.h usr/include/norvane/run/TPaginadorInforme.h \
  "usr/lib/$arch/cmake/Norvane/NorvaneConfig.cmake" "usr/lib/$arch/cmake/Norvane/NorvaneConfigVersion.cmake" \
  "usr/lib/$arch/cmake/Norvane/NorvaneTargets.cmake" "usr/lib/$arch/pkgconfig/norvane.pc"
# The pkg-config file finds the headers of the unpacked tree from its own place.
# Its own include folder is the one ending in /norvane; the others come from the exporter's libraries.
include_dir=$(PKG_CONFIG_PATH="$root/usr/lib/$arch/pkgconfig" pkg-config --cflags-only-I norvane | tr ' ' '\n' |
  grep '/norvane$' | head -n 1)
include_dir=${include_dir#-I}
[ -f "$include_dir/Value.h" ] || { echo "norvane.pc points to $include_dir"; failures=$((failures + 1)); }

if [ "$failures" -gt 0 ]; then
  echo "$failures packaging failures"
  exit 1
fi
mkdir -p "$out"
cp "$work"/*.deb "$out"/
echo "Packages in $out:"
ls "$out"
