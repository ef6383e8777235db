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
prefix=$(realpath -m "${1:-$HOME/.local}")
build=$root/build/user
program=$prefix/bin/tolv-viewer

# The desktop files name the program by its full path (below); these
# characters would need escaping there.
case $program in
  *[\"\`\$\\%]* | *$'\n'*)
    echo "install-user: choose a folder without \" \` \$ \\ % or a line break in its name" >&2
    exit 1 ;;
esac

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLV_LINUX_PACKAGE=ON \
  -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
cmake --build "$build"
cmake --install "$build"

# The desktop starts programs with the PATH of the session, which on a fresh
# account has no ~/.local/bin yet.
for entry in "$prefix"/share/applications/tr.org.tolv.Viewer{,.Preferences,.imza}.desktop; do
  while IFS= read -r line; do
    case $line in
      "Exec=tolv-viewer"*) line="Exec=\"$program\"${line#Exec=tolv-viewer}" ;;
      "TryExec=tolv-viewer") line="TryExec=$program" ;;
    esac
    printf '%s\n' "$line"
  done <"$entry" >"$entry.new"
  mv "$entry.new" "$entry"
done

update-mime-database "$prefix/share/mime"
update-desktop-database "$prefix/share/applications"
echo "tolv-viewer is in $prefix/bin."

# The desktop finds applications and media types only in these folders.
found=
IFS=: read -ra data_dirs <<<"${XDG_DATA_HOME:-$HOME/.local/share}:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
for dir in "${data_dirs[@]}"; do
  [ -n "$dir" ] && [ "$(realpath -m "$dir")" = "$prefix/share" ] && found=1
done
if [ -z "$found" ]; then
  echo "Warning: the desktop does not look in $prefix/share (XDG_DATA_HOME, XDG_DATA_DIRS):" \
    "a double-click on a report will not find tolv-viewer." >&2
fi
case ":$PATH:" in
  *":$prefix/bin:"*) ;;
  *) echo "To start it from a terminal, add $prefix/bin to PATH (Debian's ~/.profile does so at the next login once the folder exists)." ;;
esac
