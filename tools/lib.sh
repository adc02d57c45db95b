# Sourced by the scripts in tools/ (`source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"`): the
# project's root, the environment every Wine run here uses, and the reading of a screen given as
# WxH or WxH@DPI. Defines names only; running it does nothing.
# shellcheck shell=bash

SKYSWAP_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# skyswap_wine_env [PREFIX]: Wine in PREFIX, else in the caller's WINEPREFIX, else in the
# project's own prefix inside the build tree; quiet, and without the Mono or Gecko prompts.
skyswap_wine_env() {
    export WINEPREFIX=${1:-${WINEPREFIX:-$SKYSWAP_ROOT/build/wineprefix}}
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
}

# skyswap_parse_screen WxH[@DPI]: sets screen_size (WxH, for Xvfb), screen_dpi (96 unless given)
# and screen_name (WxH, or WxH-NNNpct at another display scaling, as the screenshots are named).
# Anything else fails with a message, before it reaches Xvfb or a file name.
skyswap_parse_screen() {
    if [[ ! ${1-} =~ ^([1-9][0-9]{0,4}x[1-9][0-9]{0,4})(@([1-9][0-9]{0,3}))?$ ]]; then
        echo "not a screen: '${1-}' (a size WxH, optionally @ and a DPI, as 1920x1080@144)" >&2
        return 1
    fi
    screen_size=${BASH_REMATCH[1]}
    screen_dpi=${BASH_REMATCH[3]:-96}
    screen_name=$screen_size
    if [ "$screen_dpi" != 96 ]; then
        screen_name=$screen_size-$((screen_dpi * 100 / 96))pct
    fi
}
