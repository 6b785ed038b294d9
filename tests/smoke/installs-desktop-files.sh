#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks that the executable, the
# menu entry, the icon and the metainfo land where desktops look for them and
# pass the freedesktop validators.
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

id=example.quellmark.BrevaltoPro
for f in bin/brevalto-pro share/applications/$id.desktop \
         share/icons/hicolor/scalable/apps/$id.svg share/metainfo/$id.metainfo.xml; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
[ -x "$prefix/bin/brevalto-pro" ] || { echo "bin/brevalto-pro is not executable"; exit 1; }

for tool in desktop-file-validate appstreamcli; do
  command -v $tool >/dev/null || { echo "$tool is missing (tools/setup.sh installs it)"; exit 1; }
done
desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
grep -q '^Categories=.*Graphics;.*Scanning;' "$prefix/share/applications/$id.desktop"
echo "desktop files installed and valid"
