#!/usr/bin/env bash
# package.sh [--check]
# Writes the release into dist/: Tolv.Viewer-<version>-x64.msi, a zip with
# Tolv.Viewer.Exe and a short Turkish note for the end user, and SHA256SUMS.
# The build is reproducible: SOURCE_DATE_EPOCH (default: the last commit's
# time) stands for every time stamp. With a certificate (see scripts/sign.sh)
# the programs are signed before they are packed and the MSI after it is built,
# all before the checksums are written.
#
# --check builds the last commit twice, in two fresh folders, unsigned, and
# fails unless the exe, the zip and the MSI of the two builds are the same
# byte for byte; then it tries the commit's Linux package on Debian 13
# (scripts/try-debian13.sh, as root).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${JOBS:-$(nproc)}

if [ "${1:-}" = "--check" ]; then
  scripts/setup.sh
  work=$(mktemp -d "${TMPDIR:-/tmp}/tolv-repro.XXXXXX")
  commit=$(git rev-parse HEAD) # both builds take this one, whatever is committed meanwhile
  epoch=$(git log -1 --format=%ct "$commit")
  for side in a b; do
    # Different folders, and different depths, for the two builds.
    tree=$work/$side/$( [ $side = a ] && echo src || echo deeper/source )
    mkdir -p "$tree"
    git archive "$commit" | tar -x -C "$tree"
    echo "== build $side in $tree"
    (cd "$tree" && env -u TOLV_SIGN_PKCS12 SOURCE_DATE_EPOCH="$epoch" \
       TOLV_EXPAT_SOURCE="$root/build/deps/expat" TOLV_OPENSSL_SOURCE="$root/build/deps/openssl" \
       TOLV_SKIP_SETUP=1 scripts/package.sh)
  done
  status=0
  for file in $(cd "$work/a/src/dist" && ls); do
    if cmp -s "$work/a/src/dist/$file" "$work/b/deeper/source/dist/$file"; then
      echo "same:    $file"
    else
      echo "differs: $file"; status=1
    fi
  done
  for exe in Tolv.Viewer.Exe Tolv.Viewer.ShellNotify.Exe; do
    if cmp -s "$work/a/src/build/release/$exe" "$work/b/deeper/source/build/release/$exe"; then
      echo "same:    $exe"
    else
      echo "differs: $exe"; status=1
    fi
  done
  if [ $status -eq 0 ]; then
    rm -rf "$work"
    echo "package: the two builds are identical"
  else
    echo "package: the two builds differ; both are kept in $work" >&2
  fi
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env TOLV_COMMIT="$commit" scripts/try-debian13.sh || status=1
  exit $status
fi

[ -n "${TOLV_SKIP_SETUP:-}" ] || scripts/setup.sh
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}
export TZ=UTC LC_ALL=C.UTF-8

build=build/release
expat=()
[ -z "${TOLV_EXPAT_SOURCE:-}" ] || expat=(-DTOLV_EXPAT_SOURCE="$TOLV_EXPAT_SOURCE")
[ -z "${TOLV_OPENSSL_SOURCE:-}" ] || expat+=(-DTOLV_OPENSSL_SOURCE="$TOLV_OPENSSL_SOURCE")
cmake -S . -B "$build" -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release "${expat[@]}" >/dev/null
cmake --build "$build" -j "$jobs" --target TolvViewer TolvShellNotify

version=$(sed -n 's/^ *set(VERSION_TEXT "\(.*\)")/\1/p' "$build/package-settings.cmake")
name=Tolv.Viewer-$version-x64
stage=$build/stage
rm -rf "$stage" dist
mkdir -p "$stage/zip" dist
cp "$build/Tolv.Viewer.Exe" "$build/Tolv.Viewer.ShellNotify.Exe" "$stage/"

scripts/sign.sh "$stage/Tolv.Viewer.Exe" "$stage/Tolv.Viewer.ShellNotify.Exe"

cmake -DSETTINGS="$build/package-settings.cmake" -DOUTPUT="$root/dist/$name.msi" \
  -DVIEWER_EXE="$root/$stage/Tolv.Viewer.Exe" \
  -DSHELLNOTIFY_EXE="$root/$stage/Tolv.Viewer.ShellNotify.Exe" \
  -DSOURCE_DATE_EPOCH="$SOURCE_DATE_EPOCH" -P windows/installer/BuildMsi.cmake
scripts/sign.sh "dist/$name.msi"

# The note in Windows' line ends, with a byte-order mark for Notepad; the
# licences, ours, expat's and OpenSSL's (the program carries both), as the MSI
# has them.
expat_copying=$(sed -n 's/^ *set(EXPAT_COPYING "\(.*\)")/\1/p' "$build/package-settings.cmake")
openssl_license=$(sed -n 's/^ *set(OPENSSL_LICENSE "\(.*\)")/\1/p' "$build/package-settings.cmake")
zipped=(Tolv.Viewer.Exe OKUBENI.txt LICENSE.txt expat-COPYING.txt openssl-LICENSE.txt)
cp "$stage/Tolv.Viewer.Exe" "$stage/zip/"
{ printf '\357\273\277'; sed 's/$/\r/' windows/installer/OKUBENI.txt; } >"$stage/zip/OKUBENI.txt"
sed 's/$/\r/' LICENSE >"$stage/zip/LICENSE.txt"
sed 's/$/\r/' "$expat_copying" >"$stage/zip/expat-COPYING.txt"
sed 's/$/\r/' "$openssl_license" >"$stage/zip/openssl-LICENSE.txt"
(cd "$stage/zip" && touch -d "@$SOURCE_DATE_EPOCH" "${zipped[@]}" &&
  zip -X -q -9 "$root/dist/$name.zip" "${zipped[@]}")
strip-nondeterminism -t zip -T "$SOURCE_DATE_EPOCH" "dist/$name.zip" >/dev/null

(cd dist && sha256sum "$name.msi" "$name.zip" >SHA256SUMS)
echo "package: dist/"
(cd dist && ls -l && cat SHA256SUMS)
