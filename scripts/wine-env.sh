# Sourced by every script that runs Windows programs. Where this machine
# cannot run 32-bit programs (scripts/host-arch), the tests run the x86_64
# build under Wine's 64-bit loader in a 64-bit prefix: Wine's own wrappers
# (wine, wineboot, ...) are shadowed by scripts/wine64.
qxt_wine_env() {
  local here
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  QXT_ARCH=${QXT_ARCH:-$("$here/host-arch")}
  export QXT_ARCH
  if [ "$QXT_ARCH" = x86_64 ]; then
    export QXT_WINEARCH=win64
    case ":$PATH:" in
      *":$here/wine64:"*) ;;
      *) export PATH="$here/wine64:$PATH" ;;
    esac
  else
    export QXT_WINEARCH=win32
  fi
}
qxt_wine_env
