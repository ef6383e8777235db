#!/usr/bin/env bash
# Installs the Linux edition for the current user only, without root:
# builds it, installs it under PREFIX (default ~/.local) and refreshes the
# user's MIME and desktop caches, so that a double-click on a .Tolv report
# opens it. Needs the build tools and GTK 3 headers (scripts/setup.sh, or
# apt-get install cmake ninja-build g++ pkgconf libexpat1-dev libgtk-3-dev
# librsvg2-bin). Remove it again with: xargs rm < build/user/install_manifest.txt
#   scripts/install-user.sh [PREFIX]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=${1:-$HOME/.local}
build=$root/build/user

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLV_LINUX_PACKAGE=ON \
  -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
cmake --build "$build"
cmake --install "$build"
update-mime-database "$prefix/share/mime"
update-desktop-database "$prefix/share/applications"
echo "tolv-viewer is in $prefix/bin."
case ":$PATH:" in
  *":$prefix/bin:"*) ;;
  *) echo "Add $prefix/bin to PATH (Debian's ~/.profile does so at the next login once the folder exists)." ;;
esac
