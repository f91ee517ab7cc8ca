#!/usr/bin/env bash
# Makes the Debian package kaldo_<version>_<arch>.deb in the top folder: a Release build with
# Debian's hardening flags, the three programs in /usr/bin (stripped), their man pages, the desktop
# entries and the icon; the dependencies are worked out from the programs by dpkg-shlibdeps. Then
# lintian checks it (no errors allowed). Install it with `sudo apt-get install ./kaldo_*.deb`,
# remove it with `sudo dpkg -r kaldo`.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
bash scripts/deps.sh dpkg-dev lintian
build=${KALDO_PACKAGE_BUILD:-build-package}

# The hardening flags Debian builds its own packages with; the build type adds -O3 -DNDEBUG.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake --preset package -B "$build" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" -j"$(nproc)"

version=$("$build/cli/kaldo-cli" --version | sed -n 's/.*Version \([0-9.]*\).*/\1/p' | head -n 1)
[ -n "$version" ] || { echo "package: kaldo-cli --version gave no version"; exit 1; }
arch=$(dpkg --print-architecture)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root=$stage/root
DESTDIR=$root cmake --install "$build" >/dev/null

# Programs stripped as Debian ships them; man pages compressed.
for program in "$root"/usr/bin/*; do
  strip --remove-section=.comment --remove-section=.note --strip-unneeded "$program"
done
gzip -9n "$root"/usr/share/man/man1/*.1

doc=$root/usr/share/doc/kaldo
mkdir -p "$doc"
cp packaging/copyright "$doc/copyright"
sed "s/@VERSION@/$version/" packaging/changelog | gzip -9n >"$doc/changelog.gz"

# dpkg-shlibdeps wants to stand in a source tree: a control file of the package's name is enough.
mkdir -p "$stage/debian"
printf 'Source: kaldo\n\nPackage: kaldo\nArchitecture: any\n' >"$stage/debian/control"
depends=$(cd "$stage" && dpkg-shlibdeps -O "${root#"$stage"/}"/usr/bin/* 2>/dev/null |
  sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "package: dpkg-shlibdeps found no dependencies"; exit 1; }

mkdir -p "$root/DEBIAN"
size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@DEPENDS@/$depends/" \
  -e "s/@SIZE@/$size/" packaging/control >"$root/DEBIAN/control"
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
find "$root" -type d -exec chmod 755 {} +
find "$root/usr/share" -type f -exec chmod 644 {} +
chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

deb=$top/kaldo_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "package: $deb"
if command -v lintian >/dev/null; then
  lintian --fail-on error --tag-display-limit 0 "$deb"
fi
