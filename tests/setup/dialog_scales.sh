#!/usr/bin/env bash
# Runs the dialog's scale tests where the system itself runs at 150 % and
# at 200 % (Wine's LogPixels of a prefix of its own for each, so the other
# tests keep 96 dpi): the dialog opens at that scale, its pages and an error
# box are measured, and their screenshots go to BUILD/screenshots.
#   dialog_scales.sh SOURCE_DIR BUILD_DIR TEST_PROGRAM
set -euo pipefail

source_dir=$1
build=$2
program=$3
mkdir -p "$build/screenshots"

# shellcheck source=scripts/wine-env.sh
. "$source_dir/scripts/wine-env.sh"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap 'wineserver -k 2>/dev/null || true' EXIT

status=0
for dpi in 144 192; do
  export WINEPREFIX=$build/dpi$dpi-prefix
  "$source_dir/scripts/wine-prefix" "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/.qxt-dpi" ]; then
    hex=$(printf '0x%x' "$dpi")
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$hex" /f >/dev/null 2>&1
    wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' /v LogPixels \
      /t REG_DWORD /d "$hex" /f >/dev/null 2>&1
    # The display scale is read when a session starts.
    wineserver -w
    touch "$WINEPREFIX/.qxt-dpi"
  fi
  wineserver -p </dev/null >/dev/null 2>&1 || true
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  echo "== at $dpi dpi"
  QXT_SCREENSHOT_DIR="Z:$build/screenshots" wine "$program" || status=1
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
done
exit $status
