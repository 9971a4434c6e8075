# Wine for the Windows tests, sourced by .ci/windows, .ci/installer and the scripts in tests/win.
#
# 64-bit programs run with the 64-bit loader and server directly, on every host: the `wine`
# command goes through the 32-bit loader first and fails outright on a host whose kernel runs
# no 32-bit programs. Whether this host runs 32-bit programs is decided once, by running the
# 32-bit loader, and handed to every script through VP_WIN32 (yes or no); set VP_WIN32=no to
# force the 64-bit-only path on a host that could run both.

VP_WINE64=${VP_WINE64:-/usr/lib/wine/wine64}
VP_WINE32=${VP_WINE32:-/usr/lib/wine/wine}
export WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}

if [ -z "${VP_WIN32:-}" ]; then
  if why=$("$VP_WINE32" --version 2>&1 >/dev/null); then
    VP_WIN32=yes
  else
    VP_WIN32=no
    VP_WIN32_WHY="this host runs no 32-bit programs ($VP_WINE32: ${why##*: })"
  fi
elif [ "$VP_WIN32" != yes ]; then
  VP_WIN32=no
  VP_WIN32_WHY=${VP_WIN32_WHY:-VP_WIN32=no was given}
fi
export VP_WIN32 VP_WIN32_WHY

# The usual commands, each through the 64-bit loader; a 32-bit program started this way is
# handed to the 32-bit loader by Wine itself.
wine() { "$VP_WINE64" "$@"; }
wineserver() { "$WINESERVER" "$@"; }
winepath() { "$VP_WINE64" winepath.exe "$@"; }
wineboot() { "$VP_WINE64" wineboot.exe "$@"; }

# Prints, once per script that asks, why the 32-bit programs are not run here.
vp_note_no_win32() {
  [ "$VP_WIN32" = yes ] || echo "NOTE: 32-bit Windows runtime tests skipped: $VP_WIN32_WHY"
}
