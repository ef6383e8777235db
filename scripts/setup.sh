#!/usr/bin/env bash
# Installs what the build and the tests need on Debian, as root, idempotently:
# compilers, CMake, Ninja, Wine, Xvfb, expat, GoogleTest, GTK 3 and the
# desktop tools, Debian packaging, MSI building (wixl, with faketime for fixed
# times) and signing tools, and fetches expat's
# Debian source package into build/deps/ for the Windows build.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
deps="$root/build/deps"

packages=(
  build-essential cmake ninja-build pkg-config dpkg-dev
  g++-mingw-w64-x86-64-posix
  wine wine64 xvfb xauth x11-utils
  libexpat1-dev libcurl4-openssl-dev libgtest-dev googletest libssl-dev xmlsec1
  clang libclang-rt-dev
  python3 python3-lxml
  librsvg2-bin icoutils python3-pil
  libgtk-3-dev adwaita-icon-theme shared-mime-info desktop-file-utils xdg-utils libglib2.0-bin
  at-spi2-core python3-pyatspi python3-gi gir1.2-atspi-2.0 gir1.2-gtk-3.0 python3-xlib
  dbus dbus-x11 xdotool x11-apps imagemagick gcr
  debhelper lintian fakeroot appstream
  msitools wixl faketime osslsigncode openssl zip strip-nondeterminism
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
src_list=/etc/apt/sources.list.d/tolv-deb-src.sources
need_update=0
if [ ! -f "$src_list" ]; then
  # The source index of the same suites the binary packages come from, so that
  # the expat we cross-compile is the one Debian ships natively.
  "${sudo_cmd[@]}" tee "$src_list" >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: $codename-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ "$need_update" -eq 1 ]; then
  "${sudo_cmd[@]}" apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ ! -f "$deps/expat/lib/expat.h" ]; then
  echo "setup: fetching Debian's expat source package"
  rm -rf "$deps/expat-fetch"
  mkdir -p "$deps/expat-fetch"
  # Newest version first; a mirror may list a version whose files it does not hold.
  fetched=0
  versions=$(apt-cache showsrc expat 2>/dev/null | awk '/^Version:/ {print $2}' | sort -V -r -u)
  if [ -z "$versions" ]; then
    # The source index is configured but its lists are gone (apt-get clean).
    "${sudo_cmd[@]}" apt-get update -qq
    versions=$(apt-cache showsrc expat 2>/dev/null | awk '/^Version:/ {print $2}' | sort -V -r -u)
  fi
  for v in $versions; do
    if (cd "$deps/expat-fetch" && apt-get source -qq "expat=$v" >/dev/null 2>&1); then
      fetched=1; echo "setup: expat $v"; break
    fi
    rm -rf "${deps:?}/expat-fetch"/*
  done
  [ "$fetched" -eq 1 ] || { echo "setup: could not fetch the expat source package" >&2; exit 1; }
  header=$(find "$deps/expat-fetch" -maxdepth 4 -path '*/lib/expat.h' | head -n 1)
  [ -n "$header" ] || { echo "setup: expat source has no lib/expat.h" >&2; exit 1; }
  src=$(dirname "$(dirname "$header")")
  rm -rf "$deps/expat"
  mv "$src" "$deps/expat"
  rm -rf "$deps/expat-fetch"
fi
echo "setup: ok"
