# Sourced by the Wine scripts: the headless environment every Wine call uses.
# OCULO_WINEPREFIX picks the prefix; the default lives under build/ (one
# 64-bit prefix runs both 32- and 64-bit programs).
OCULO_ROOT="${OCULO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEPREFIX="${OCULO_WINEPREFIX:-$OCULO_ROOT/build/wine-prefix}"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono/Gecko install prompts, no sound drivers.
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv,wineoss.drv=d"
unset DISPLAY WAYLAND_DISPLAY
