#!/usr/bin/env bash
# Builds the Debian package, lints it, installs it with apt-get, starts the
# installed program under Xvfb with SANE's test scanner until its main window
# shows, closes it, and purges the package again, checking that its files go.
#
#   tools/package-check.sh [BUILD_DIR]
#
# BUILD_DIR defaults to ./build when that is configured (CI has just built it
# for the tests), otherwise to ./build-package, configured here without the
# tests and benchmarks. The package lands in BUILD_DIR/package. Needs root (or
# sudo) for apt-get; a brevalto-pro installed beforehand is left alone and the
# check refuses to run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
started=$SECONDS

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
# Folders and files in the package get their modes from the umask of the
# install step.
umask 022

# dpkg-shlibdeps (dpkg-dev) finds the dependencies; lintian checks the result.
"$here/tools/install-packages.sh" dpkg-dev lintian xvfb xauth xdotool

if [ $# -ge 1 ]; then
  build_dir=$1
elif [ -f build/CMakeCache.txt ]; then
  build_dir=build
else
  build_dir=build-package
fi
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBREVALTO_BUILD_TESTS=OFF -DBREVALTO_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build_dir" -j"$(nproc)" --target brevalto-pro brevalto_package_docs brevalto_version_block_tool
rm -rf "$build_dir/package"
(cd "$build_dir" && cpack -G DEB >/dev/null)

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
deb="$build_dir/package/brevalto-pro_${version}_amd64.deb"
[ -f "$deb" ] || { echo "no $deb; cpack wrote:"; ls "$build_dir/package"; exit 1; }

fail() { echo "package check: $*" >&2; exit 1; }

# The version is kept in three places besides project(); a release that bumps
# one must bump them all.
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
changelog_version=$(dpkg-parsechangelog -l packaging/changelog -S Version)
[ "$changelog_version" = "$version" ] ||
  fail "packaging/changelog starts with $changelog_version, the program is $version"
grep -q "<release version=\"$version\"" app/desktop/example.quellmark.BrevaltoPro.metainfo.xml ||
  fail "the metainfo names no release $version"

echo "== lintian"
lint_status=0
lint=$(lintian --fail-on error "$deb" 2>&1) || lint_status=$?
grep -v '^running with root privileges' <<<"$lint" || true
[ $lint_status -eq 0 ] || fail "lintian reports errors"

id=example.quellmark.BrevaltoPro
expected=(
  /usr/bin/brevalto-pro
  /usr/share/applications/$id.desktop
  /usr/share/icons/hicolor/scalable/apps/$id.svg
  /usr/share/metainfo/$id.metainfo.xml
  /usr/share/man/man1/brevalto-pro.1.gz
  /usr/share/doc/brevalto-pro/copyright
  /usr/share/doc/brevalto-pro/changelog.gz
)
contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\.||')
for f in "${expected[@]}"; do
  grep -qx "$f" <<<"$contents" || fail "$f is not in the package"
done
# Only the program: no test, benchmark, tool or library goes in.
extra=$(grep -v '/$' <<<"$contents" | grep -vxF -f <(printf '%s\n' "${expected[@]}") || true)
[ -z "$extra" ] || fail "unexpected files in the package: $extra"
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6widgets6* && $depends == *libsane1* ]] ||
  fail "the dependencies found lack Qt Widgets or SANE: $depends"

# Installed, or half so, or its configuration files left behind.
present() {
  local status
  status=$(dpkg-query -W -f='${Status}' brevalto-pro 2>/dev/null) || return 1
  [ -n "$status" ] && [[ $status != *not-installed ]]
}
if present; then
  fail "brevalto-pro is on this machine already ($(dpkg-query -W -f='${Status}' brevalto-pro)); remove it first"
fi

work=$(mktemp -d)
installed=""
cleanup() {
  if [ -n "$installed" ] && present; then
    echo "package check: purging brevalto-pro after a failure" >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq -o DPkg::Lock::Timeout=300 brevalto-pro >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# A copy that apt's unprivileged download user can read.
chmod 755 "$work"
cp "$deb" "$work/"
echo "== apt-get install ./$(basename "$deb")"
installed=yes
(cd "$work" && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
  -o DPkg::Lock::Timeout=300 "./$(basename "$deb")") >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get could not install the package"; }
mapfile -t files < <(dpkg -L brevalto-pro | while read -r f; do [ -d "$f" ] || echo "$f"; done)
for f in "${expected[@]}"; do
  [ -f "$f" ] || fail "$f was not installed"
done

# The About window reads the version from the program file itself, so the
# block must have come through stripping.
reader=$(find "$build_dir" -name brevalto_version_block_tool -type f -perm -u+x | head -n1)
[ -n "$reader" ] || fail "no brevalto_version_block_tool in $build_dir"
shown=$("$reader" --read /usr/bin/brevalto-pro) || true
[ "$shown" = "$version" ] || fail "the installed program's version reads \"$shown\", not $version"

echo "== start /usr/bin/brevalto-pro under Xvfb"
unset QT_QPA_PLATFORM
"$here/tests/smoke/starts-under-xvfb.sh" /usr/bin/brevalto-pro "$here/sane-config"

echo "== apt-get purge brevalto-pro"
DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq -o DPkg::Lock::Timeout=300 brevalto-pro >/dev/null
installed=""
! present || fail "brevalto-pro is still on the machine: $(dpkg-query -W -f='${Status}' brevalto-pro)"
for f in "${files[@]}"; do
  [ ! -e "$f" ] || fail "$f is still there after the purge"
done

echo "package $(basename "$deb"): $(stat -c %s "$deb") bytes, Installed-Size $(dpkg-deb -f "$deb" Installed-Size) KiB"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
echo "built, lint-free, installed, started, purged in $((SECONDS - started)) s"
