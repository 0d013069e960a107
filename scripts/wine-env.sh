# Sourced by the other scripts: a private Wine prefix for unattended runs.
# RAVELIN_WINEPREFIX keeps one prefix across runs; otherwise it lives in the
# build tree and is made on first use.
: "${RAVELIN_WINEPREFIX:=$RAVELIN_ROOT/build-wine/prefix}"
# Without a display, Wine's null graphics driver still runs windows and reads
# pixels back; only screenshots need an X server. The driver is chosen when a
# prefix is made, so each mode has its own prefix and nothing needs to restart
# a server that other test processes may be using.
if [ -z "${DISPLAY:-}" ]; then RAVELIN_WINEPREFIX="$RAVELIN_WINEPREFIX-null"; fi
export WINEPREFIX="$RAVELIN_WINEPREFIX"
. "$RAVELIN_ROOT/scripts/wine-loader.sh"

ravelin_wine() { "$RAVELIN_WINE" "$@"; }

ravelin_wine_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  # Parallel callers wait for the one that makes the prefix.
  exec {lock}>"$WINEPREFIX.lock"
  flock "$lock"
  if [ ! -f "$WINEPREFIX/.ravelin-ready" ]; then
    rm -rf "$WINEPREFIX"
    ravelin_wine wineboot -i </dev/null >/dev/null 2>&1 || true
    wineserver -w
    cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    # Without a window manager Wine waits on every hidden window; Managed=N
    # makes it draw frames itself and not wait.
    ravelin_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    if [ -z "${DISPLAY:-}" ]; then
      ravelin_wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    else
      ravelin_wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f </dev/null >/dev/null 2>&1 || true
    fi
    wineserver -w
    touch "$WINEPREFIX/.ravelin-ready"
  fi
  flock -u "$lock"
  exec {lock}>&-
  # One warm server for every later process, and Wine's services started
  # detached from any pipe that a caller waits on.
  wineserver -p 2>/dev/null || true
  ravelin_wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

ravelin_wine_stop() {
  wineserver -k 2>/dev/null || true
}
