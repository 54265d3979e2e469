# A wine prefix and server of the build's own, so that tests under wine
# neither wait for nor disturb any other wine program on the machine (the
# user's default prefix included). Source this file, then:
#
#   wine_env_start BUILD_DIR ARCH   # ARCH win32 or win64
#   ...wine, ctest in BUILD_DIR...
#   wine_env_stop
#
# wine_env_start exports WINEPREFIX=BUILD_DIR/wine, WINEARCH=ARCH and
# WINEDEBUG=-all, creates the prefix if need be, and starts a persistent
# server for it with no standard streams of ours: a server that a wine
# program started itself would inherit that program's output pipe, and a
# caller reading to end of output would wait for the server to exit.
# wine_env_stop ends that server (and only it: servers are per prefix).

wine_env_start() {
  if [ $# -ne 2 ] || { [ "$2" != win32 ] && [ "$2" != win64 ]; }; then
    echo "usage: wine_env_start BUILD_DIR win32|win64" >&2
    return 2
  fi
  mkdir -p "$1" || return 1
  WINEPREFIX=$(cd "$1" && pwd)/wine
  WINEARCH=$2
  WINEDEBUG=-all
  export WINEPREFIX WINEARCH WINEDEBUG
  # A prefix made for the other architecture cannot be reused.
  if [ -f "$WINEPREFIX/system.reg" ] && ! grep -q "^#arch=$WINEARCH" "$WINEPREFIX/system.reg"; then
    rm -rf "$WINEPREFIX"
  fi
  mkdir -p "$WINEPREFIX" || return 1
  wineserver -p </dev/null >/dev/null 2>&1 || true
  wineboot -i </dev/null >/dev/null 2>&1 || true
}

wine_env_stop() {
  # Safe to call twice, and under set -e when no server is left to end.
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k </dev/null >/dev/null 2>&1 || true
  fi
}
