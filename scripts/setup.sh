#!/usr/bin/env bash
# Installs what the build and the tests need on Debian, as root, idempotently:
# compilers, CMake, Ninja, Wine, Xvfb, expat, GoogleTest, GTK 3 and the
# desktop tools, Debian packaging, MSI building (wixl, with faketime for fixed
# times) and signing tools, and fetches the Debian source packages of expat and
# OpenSSL into build/deps/ for the Windows build.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
deps="$root/build/deps"

packages=(
  build-essential cmake ninja-build pkg-config dpkg-dev
  g++-mingw-w64-x86-64-posix
  wine wine64 xvfb xauth x11-utils
  libexpat1-dev libgtest-dev googletest libssl-dev xmlsec1
  clang libclang-rt-dev
  python3 python3-lxml perl
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
  # the expat and OpenSSL we cross-compile are the ones Debian ships natively.
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

# Fetches Debian's source package $1 into build/deps/$1, with Debian's patches
# applied, unless $2 (a file of its tree) is there already.
fetch_source() {
  local package=$1 marker=$2 work="$deps/$1-fetch"
  [ -f "$deps/$package/$marker" ] && return 0
  echo "setup: fetching Debian's $package source package"
  rm -rf "$work"
  mkdir -p "$work"
  # Newest version first; a mirror may list a version whose files it does not hold.
  local fetched=0 versions v
  versions=$(apt-cache showsrc "$package" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -V -r -u)
  if [ -z "$versions" ]; then
    # The source index is configured but its lists are gone (apt-get clean).
    "${sudo_cmd[@]}" apt-get update -qq
    versions=$(apt-cache showsrc "$package" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -V -r -u)
  fi
  for v in $versions; do
    if (cd "$work" && apt-get source -qq "$package=$v" >/dev/null 2>&1); then
      fetched=1; echo "setup: $package $v"; break
    fi
    rm -rf "${work:?}"/*
  done
  [ "$fetched" -eq 1 ] || { echo "setup: could not fetch the $package source package" >&2; exit 1; }
  local found
  found=$(find "$work" -maxdepth 4 -path "*/$marker" | head -n 1)
  [ -n "$found" ] || { echo "setup: the $package source has no $marker" >&2; exit 1; }
  local src=${found%/"$marker"}
  rm -rf "${deps:?}/$package"
  mv "$src" "$deps/$package"
  rm -rf "$work"
}

# expat and OpenSSL's libcrypto are compiled into the Windows build from the
# sources Debian builds its own packages from.
fetch_source expat lib/expat.h
fetch_source openssl include/openssl/opensslv.h.in
echo "setup: ok"
