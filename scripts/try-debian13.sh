#!/usr/bin/env bash
# try-debian13.sh [DEB]
# Tries the Linux package on Debian 13 (trixie) as a user there meets it:
# builds a trixie root with debootstrap from Debian's archive (the mirror this
# machine's apt uses, or TOLV_DEBIAN_MIRROR), installs the package in it with
# papers, GNOME's PDF application on Debian 13, and as an ordinary user with
# Browser=desktop opens samples/sample.Tolv on a headless display (Xvfb and a
# session bus); passes when papers shows the report's PDF. Without DEB it
# builds the package from the last commit (or from TOLV_COMMIT). Needs root
# (debootstrap, chroot).
# The root stays in build/debian13/ for the next run; delete it to start afresh.
# Not part of scripts/test.sh: scripts/package.sh --check runs it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=$here/build/debian13
target=$work/root
deb=${1:-}

[ "$(id -u)" -eq 0 ] || { echo "try-debian13: run it as root" >&2; exit 1; }
command -v debootstrap >/dev/null ||
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null

# The first Debian archive among apt's sources, in either of its two formats.
mirror=${TOLV_DEBIAN_MIRROR:-$(
  { awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /:\/\//) { print $i; break } }' \
      /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null
    awk '$1 == "URIs:" { for (i = 2; i <= NF; i++) print $i }' \
      /etc/apt/sources.list.d/*.sources 2>/dev/null; } |
    grep -E '/debian/?$' | head -n 1 || true)}
mirror=${mirror:-http://deb.debian.org/debian}

mkdir -p "$work"
if [ -z "$deb" ]; then
  commit=$(git -C "$here" rev-parse "${TOLV_COMMIT:-HEAD}")
  echo "== building the package from ${commit:0:12}"
  rm -rf "$work/src"
  mkdir -p "$work/src/tolv-viewer-2.00"
  git -C "$here" archive "$commit" | tar -x -C "$work/src/tolv-viewer-2.00"
  (cd "$work/src/tolv-viewer-2.00" && dpkg-buildpackage -b -us -uc -j2) >"$work/build.log" 2>&1 ||
    { tail -n 30 "$work/build.log"; echo "try-debian13: the package did not build" >&2; exit 1; }
  deb=$(ls "$work"/src/tolv-viewer_*.deb | head -n 1)
fi
deb=$(realpath "$deb")

# Whatever runs in the root and whatever is mounted there goes when this ends.
cleanup() {
  for proc in /proc/[0-9]*; do
    [ "$(readlink "$proc/root" 2>/dev/null)" = "$target" ] && kill -9 "${proc#/proc/}" 2>/dev/null
  done
  for mount in proc dev/pts dev; do
    mountpoint -q "$target/$mount" && umount -l "$target/$mount"
  done
  return 0
}
trap cleanup EXIT

if ! grep -qs '^13\.' "$target/etc/debian_version"; then
  echo "== debootstrap trixie from $mirror"
  if [ -e "$target" ]; then
    cleanup
    rm -rf --one-file-system "$target"
  fi
  debootstrap --variant=minbase trixie "$target" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -n 30 "$work/debootstrap.log"; echo "try-debian13: debootstrap failed" >&2; exit 1; }
fi
echo "Debian $(cat "$target/etc/debian_version") in $target"
mount -t proc proc "$target/proc"
mount --bind /dev "$target/dev"
mount --bind /dev/pts "$target/dev/pts"

echo "== installing $(basename "$deb") with papers"
# Only what the trial needs, but for desktop-file-utils: every desktop has it,
# and GIO finds the desktop's PDF application through the cache it keeps.
cp "$deb" "$target/tmp/tolv-viewer.deb"
in_root() { chroot "$target" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
in_root apt-get update -qq
# A fresh install each time: apt keeps an installed package of the same version.
in_root dpkg --purge tolv-viewer >/dev/null 2>&1 || true
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  /tmp/tolv-viewer.deb papers desktop-file-utils xvfb xauth xdotool dbus-daemon dbus-bin procps >"$work/install.log" 2>&1 ||
  { tail -n 30 "$work/install.log"; echo "try-debian13: the package did not install" >&2; exit 1; }
in_root dpkg-query -W tolv-viewer papers

# An ordinary user with a private runtime folder, as a desktop session gives one.
in_root id tester >/dev/null 2>&1 || in_root useradd -m tester
uid=$(in_root id -u tester)
home=$target/home/tester
install -d -m 0700 -o "$uid" -g "$uid" "$target/run/user/$uid" "$home/.config/tolv-viewer"
printf '[Viewer]\nBrowser=desktop\n' >"$home/.config/tolv-viewer/settings.ini"
cp "$here/samples/sample.Tolv" "$home/sample.Tolv"
# Its signer as the user's anchor, or the viewer asks before it shows the report.
install -d "$home/.config/tolv-viewer/trust"
cp "$here/samples/sample-signer.pem" "$home/.config/tolv-viewer/trust/"
chown -R "$uid:$uid" "$home"

echo "== opening sample.Tolv with Browser=desktop"
# As a fresh login: an empty runtime folder. papers names its window after the
# file it shows, and that file must hold the report's PDF as tolv-extract
# reads it.
rm -rf "$target/run/user/$uid"
install -d -m 0700 -o "$uid" -g "$uid" "$target/run/user/$uid"
cat >"$target/tmp/try-report.sh" <<'INSIDE'
Xvfb :7 -screen 0 1280x800x24 -nolisten tcp >/tmp/xvfb.log 2>&1 &
export DISPLAY=:7
for i in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.2; done
tolv-viewer "$HOME/sample.Tolv" >/tmp/viewer.log 2>&1 &
pdf=$XDG_RUNTIME_DIR/tolv-viewer/sample.pdf
for i in $(seq 90); do
  for window in $(xdotool search --onlyvisible --name . 2>/dev/null); do
    echo "window: $(xdotool getwindowname "$window")"
  done
  if xdotool search --onlyvisible --name '^sample\.pdf' >/dev/null 2>&1; then
    echo "papers: $(pgrep -a -x papers)"
    tolv-extract "$HOME/sample.Tolv" /tmp/expected.pdf
    cmp "$pdf" /tmp/expected.pdf
    exit
  fi
  sleep 1
done
echo "viewer: $(cat /tmp/viewer.log)"
echo "running: $(pgrep -a -u "$USER" .)"
exit 1
INSIDE
chroot --userspec="$uid:$uid" "$target" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 \
  HOME=/home/tester USER=tester XDG_RUNTIME_DIR="/run/user/$uid" GSK_RENDERER=cairo \
  dbus-run-session -- sh /tmp/try-report.sh >"$work/run.log" 2>&1 && status=0 || status=$?
awk '!seen[$0]++' "$work/run.log"
if [ $status -eq 0 ]; then
  echo "try-debian13: papers shows the report's PDF on Debian $(cat "$target/etc/debian_version")"
else
  echo "try-debian13: papers did not show the report's PDF (log: $work/run.log)" >&2
fi
exit $status
