#!/usr/bin/env bash
# Builds the Debian package of the Linux program and checks it with lintian.
#   scripts/make-deb.sh [--out DIR] [--strict]
# Writes DIR/tervano_VERSION_ARCH.deb (DIR defaults to build/). The sources
# the program needs and debian/ are copied to DIR/deb/ and built there with
# debhelper (release build, no tests), so the source tree stays clean.
# Exits non-zero when the build fails or lintian reports an error (with
# --strict, also a warning).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${TERVANO_JOBS:-2}
out="$root/build"
fail_on=error
while [ "$#" -gt 0 ]; do
  case "$1" in
    --out) out=${2:?--out needs a folder}; shift 2 ;;
    --strict) fail_on=error,warning; shift ;;
    -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
    *) echo "make-deb.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
mkdir -p "$out"
out=$(cd "$out" && pwd)

bash "$root/scripts/install-deps.sh" --deb </dev/null

# The package version's upstream part must be the program's version.
project_version=$(sed -nE 's/^project\(tervano VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
deb_version=$(cd "$root" && dpkg-parsechangelog -S Version)
if [ "${deb_version%-*}" != "$project_version" ]; then
  echo "make-deb.sh: debian/changelog is at $deb_version but CMakeLists.txt at $project_version" >&2
  exit 1
fi
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
deb="tervano_${deb_version}_${arch}.deb"

work="$out/deb"
src="$work/tervano-$project_version"
rm -rf "$work"
mkdir -p "$src"
cp -a "$root/CMakeLists.txt" "$root/cmake" "$root/converter" "$root/docs" "$root/debian" "$src/"
# Every file dated at the changelog entry (dpkg-deb clamps newer ones to it),
# so the package's bytes do not depend on when the sources were checked out.
stamp=$(cd "$root" && dpkg-parsechangelog -S Timestamp)
find "$src" -exec touch -h -d "@$stamp" {} +

echo "== make-deb: building $deb"
(cd "$src" && DEB_BUILD_OPTIONS="parallel=$jobs" dpkg-buildpackage -b -us -uc) \
  >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log" >&2; echo "make-deb.sh: package build failed (log: $work/build.log)" >&2; exit 1; }
mv -f "$work/$deb" "$out/$deb"

echo "== make-deb: lintian"
lintian --fail-on "$fail_on" --display-info "$out/$deb"
echo "make-deb: $out/$deb"
