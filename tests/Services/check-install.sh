#!/usr/bin/env bash
# Installs the build into temporary prefixes and checks that the files which
# name installed programs point into the prefix: the desktop entry's Exec and
# the user unit's ExecStart, with the unit where systemd looks for it.
#
#   tests/Services/check-install.sh BUILD_DIR
set -euo pipefail
build="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

check() {   # prefix, folder holding the installed tree, expected unit folder
  local prefix="$1" root="$2" unitdir="$3"
  local desktop="$root/share/applications/com.brodix.QelSendService.desktop"
  local unit="$root/$unitdir/qel-machine-link.service"
  [ -f "$desktop" ] || fail "no desktop entry at $desktop"
  [ -f "$unit" ] || fail "no user unit at $unit"
  grep -qx "Exec=$prefix/bin/qel-send-service %F" "$desktop" || fail "Exec of $desktop: $(grep ^Exec= "$desktop")"
  grep -qx "ExecStart=$prefix/bin/qel-machine-link" "$unit" || fail "ExecStart of $unit: $(grep ^ExecStart= "$unit")"
  [ -x "$root/bin/qel-send-service" ] || fail "qel-send-service not installed"
  [ -x "$root/bin/qel-machine-link" ] || fail "qel-machine-link not installed"
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
  local page
  for page in qel-send-service qel-machine-link qel-stitch; do
    [ -s "$root/share/man/man1/$page.1" ] || fail "no man page $page.1"
  done
}

# A home prefix: the unit goes to share/systemd/user.
home="$scratch/home prefix"
cmake --install "$build" --prefix "$home" > /dev/null
check "$home" "$home" share/systemd/user
"$home/bin/qel-send-service" --version | grep -q '^qel-send-service ' || fail "installed qel-send-service does not run"
# qel-stitch hands the commands that draw to its helper in libexec.
[ -x "$home/libexec/qel-stitch-pictures" ] || fail "qel-stitch-pictures not installed"
"$home/bin/qel-stitch" render ../shared/corpus/dst/Bean.dst "$scratch/bean.png" \
  || fail "installed qel-stitch does not draw"
[ -s "$scratch/bean.png" ] || fail "installed qel-stitch wrote no picture"

# /usr, staged through DESTDIR: the unit goes to lib/systemd/user.
DESTDIR="$scratch/stage" cmake --install "$build" --prefix /usr > /dev/null
check /usr "$scratch/stage/usr" lib/systemd/user
echo "check-install: ok"
