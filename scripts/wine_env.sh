# Wine in a prefix of our own, with a server of our own, so that the Windows
# checks neither disturb nor depend on any other wine program.
#
#   . scripts/wine_env.sh
#   wine_start build-win64 win64   # prefix build-win64/wine, 64-bit
#   ...                            # wine programs, ctest
#   wine_stop
#
# The server is started apart from our output pipes: a server that a wine
# program starts itself inherits them, and a caller reading to end of output
# would then wait for it for ever.

# wine_start BUILD_DIR ARCH: exports WINEPREFIX=BUILD_DIR/wine, WINEARCH=ARCH
# (win32 or win64) and WINEDEBUG=-all, starts a persistent server for that
# prefix and makes the prefix if it is new.
wine_start() {
  mkdir -p "$1/wine"
  WINEPREFIX=$(cd "$1/wine" && pwd)
  export WINEPREFIX WINEARCH="$2" WINEDEBUG=-all
  wineserver -p </dev/null >/dev/null 2>&1 || true
  wineboot -i </dev/null >/dev/null 2>&1 || true
}

# wine_stop: stops the server of the current prefix.
wine_stop() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
}
