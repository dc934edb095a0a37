#!/usr/bin/env bash
# Builds the Debian package dist/quiltmark_<version>_<arch>.deb in a build folder of its
# own, shows its contents and lintian's verdict, and tries the unpacked program with an
# empty home. Usage: scripts/package.sh [OUTPUT_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
root=$PWD
build=${QUILTMARK_PACKAGE_BUILD:-$root/build-package}
out=$(mkdir -p "${1:-dist}" && cd "${1:-dist}" && pwd)

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
# Debian's own hardening flags, as a Debian build would use them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
# Only what the package holds: the program and the compressed manual page.
cmake --build "$build" -j"$(nproc)" --target quiltmark man_page
rm -f "$out"/quiltmark_*.deb
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
deb=$(ls "$out"/quiltmark_*.deb)

echo "== $deb"
dpkg-deb --field "$deb" Package Version Architecture Section Maintainer Depends
echo "== files"
dpkg-deb --contents "$deb" | awk '{print $6}'
echo "== lintian"
lintian --fail-on error "$deb" || { echo "lintian found errors"; exit 1; }
echo "(end of lintian)"

echo "== unpacked into a throw-away root, HOME empty"
try=$(mktemp -d)
trap 'rm -rf "$try"' EXIT
dpkg -x "$deb" "$try"
mkdir "$try/home"
env -i PATH=/usr/bin:/bin HOME="$try/home" XDG_DATA_DIRS=/nonexistent "$try/usr/bin/quiltmark" --version
env -i PATH=/usr/bin:/bin HOME="$try/home" XDG_DATA_DIRS=/nonexistent "$try/usr/bin/quiltmark" --list-fixtures
echo "== done: $deb"
