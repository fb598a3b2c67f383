#!/usr/bin/env bash
# Makes docs/tavimo-view.png: the tavimo-view window on its built-in sample, under a
# private Xvfb, read back from the X server. Needs a build (bash scripts/run.sh builds it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
view="$root/build/hosts/tavimo-view/tavimo-view"
work="$(mktemp -d)"
trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT

display=:93
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1

"$view" --write-sample "$work/sample.tif"
cat >"$work/shot.txt" <<SCRIPT
SilentMode = True
ViewerQualityAuto = True
DisplayFromFile "$work/sample.tif"
ZoomMode = 4
SetZoom 75
SetHVScrollBarPosition 60, 40
!advance 1100
!snapshot $root/docs/tavimo-view.png
SCRIPT
mkdir -p "$root/docs"
DISPLAY="$display" "$view" --window --size 640x420 --script "$work/shot.txt" >/dev/null
echo "wrote docs/tavimo-view.png"
