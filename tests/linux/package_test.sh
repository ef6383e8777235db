#!/usr/bin/env bash
# Builds the Debian package from a copy of the source tree (dpkg-buildpackage
# writes beside the tree it builds, so never beside the real one), runs lintian
# on it and checks its file list. The .deb stays in OUT for the desktop test.
#   package_test.sh SOURCE OUT
set -euo pipefail
source=$1
out=$2
version=2.00-1
deb=tolv-viewer_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb

rm -rf "$out"
tree=$out/tolv-viewer-2.00
mkdir -p "$tree"
# The files git knows of, and new ones not ignored: what a clean clone holds.
(cd "$source" && git ls-files -z --cached --others --exclude-standard) |
  (cd "$source" && xargs -0 cp --parents -t "$tree" 2>/dev/null || true)
[ -f "$tree/debian/rules" ] || { echo "package: source copy incomplete" >&2; exit 1; }

echo "== dpkg-source -b"
# The upstream tarball is the tree without debian/, as a release makes it with
# git archive; the source package is built before the build litters the tree.
tar -C "$out" --exclude=tolv-viewer-2.00/debian -cJf "$out/tolv-viewer_2.00.orig.tar.xz" tolv-viewer-2.00
(cd "$out" && dpkg-source -b tolv-viewer-2.00) >"$out/source.log" 2>&1 ||
  { cat "$out/source.log"; echo "package: source package failed" >&2; exit 1; }
echo "made tolv-viewer_${version}.dsc"

echo "== dpkg-buildpackage -b -us -uc"
(cd "$tree" && dpkg-buildpackage -b -us -uc -j2) >"$out/build.log" 2>&1 ||
  { tail -n 40 "$out/build.log"; echo "package: build failed" >&2; exit 1; }
[ -f "$out/$deb" ] || { echo "package: $deb was not made" >&2; ls "$out"; exit 1; }
echo "made $deb"

echo "== lintian"
# No error and no warning; info and pedantic tags are listed, not failed on.
lintian --fail-on error,warning --display-info "$out"/tolv-viewer_${version}_*.changes \
  "$out/tolv-viewer_${version}.dsc"

echo "== file list"
dpkg-deb -c "$out/$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$out/files.txt"
status=0
for path in \
  /usr/bin/tolv-viewer /usr/bin/tolv-extract \
  /usr/share/mime/packages/tr.org.tolv.Viewer.xml \
  /usr/share/applications/tr.org.tolv.Viewer.desktop \
  /usr/share/applications/tr.org.tolv.Viewer.Preferences.desktop \
  /usr/share/applications/tr.org.tolv.Viewer.imza.desktop \
  /usr/share/applications/mimeapps.list \
  /usr/share/icons/hicolor/scalable/apps/tr.org.tolv.Viewer.svg \
  /usr/share/icons/hicolor/scalable/status/tr.org.tolv.Viewer-valid.svg \
  /usr/share/icons/hicolor/16x16/apps/tr.org.tolv.Viewer.png \
  /usr/share/icons/hicolor/48x48/apps/tr.org.tolv.Viewer.png \
  /usr/share/icons/hicolor/256x256/apps/tr.org.tolv.Viewer.png \
  /usr/share/metainfo/tr.org.tolv.Viewer.metainfo.xml \
  /usr/share/man/man1/tolv-viewer.1.gz /usr/share/man/man1/tolv-extract.1.gz \
  /usr/share/doc/tolv-viewer/copyright; do
  if grep -qxF "$path" "$out/files.txt"; then
    echo "ok   $path"
  else
    echo "FAIL $path is not in the package"; status=1
  fi
done
# The desktop files as the desktop reads them.
unpacked=$out/unpacked
dpkg-deb -x "$out/$deb" "$unpacked"
if desktop-file-validate "$unpacked"/usr/share/applications/*.desktop; then
  echo "ok   desktop entries valid"
else
  echo "FAIL desktop entries"; status=1
fi
# The report's second verb, "İmza bilgisi", as the desktop action file managers list.
viewer_entry=$unpacked/usr/share/applications/tr.org.tolv.Viewer.desktop
if grep -qx 'Actions=imza;' "$viewer_entry" &&
  sed -n '/^\[Desktop Action imza\]$/,/^\[/p' "$viewer_entry" |
  grep -qx 'Exec=tolv-viewer --imza %f' &&
  grep -qx 'Name\[tr\]=İmza bilgisi' "$viewer_entry"; then
  echo "ok   the İmza bilgisi action"
else
  echo "FAIL the İmza bilgisi action"; status=1
fi
# "Tolv İmza Bilgisi": an entry of its own for the media type, so that every
# file manager's "Open with" lists it, including those that show no actions.
signature_entry=$unpacked/usr/share/applications/tr.org.tolv.Viewer.imza.desktop
if grep -qx 'Name=Tolv İmza Bilgisi' "$signature_entry" &&
  grep -qx 'Exec=tolv-viewer --imza %f' "$signature_entry" &&
  grep -qx 'MimeType=application/x-tolv;' "$signature_entry" &&
  ! grep -qE '^(NoDisplay|Hidden)=true' "$signature_entry"; then
  echo "ok   the Tolv İmza Bilgisi entry"
else
  echo "FAIL the Tolv İmza Bilgisi entry"; status=1
fi
if appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/tr.org.tolv.Viewer.metainfo.xml >"$out/appstream.log" 2>&1 &&
  grep -q "<mediatype>application/x-tolv</mediatype>" "$unpacked"/usr/share/metainfo/tr.org.tolv.Viewer.metainfo.xml; then
  echo "ok   metainfo valid, names application/x-tolv"
else
  cat "$out/appstream.log"; echo "FAIL metainfo"; status=1
fi
# Nothing runs at install time but dpkg's triggers.
scripts=$(dpkg-deb -I "$out/$deb" | grep -E '^ +[0-9]+ bytes, +[0-9]+ lines +\*? *(pre|post)(inst|rm)' || true)
if [ -n "$scripts" ]; then
  echo "FAIL maintainer scripts: $scripts"; status=1
else
  echo "ok   no maintainer scripts"
fi
exit $status
