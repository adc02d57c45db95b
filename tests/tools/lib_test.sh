#!/usr/bin/env bash
# Checks tools/lib.sh: the screens the scripts accept (and the ones they refuse before anything
# reaches Xvfb or a file name), and which Wine prefix a run ends up in.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/lib.sh"

failures=0
check() {  # what, expected, actual
    if [ "$2" != "$3" ]; then
        echo "lib_test.sh: $1: expected '$2', got '$3'" >&2
        failures=$((failures + 1))
    fi
}

skyswap_parse_screen 800x600
check "800x600" "800x600 96 800x600" "$screen_size $screen_dpi $screen_name"
skyswap_parse_screen 1920x1080@144
check "1920x1080@144" "1920x1080 144 1920x1080-150pct" "$screen_size $screen_dpi $screen_name"
skyswap_parse_screen 3840x2160@192
check "3840x2160@192" "3840x2160-200pct" "$screen_name"
skyswap_parse_screen 1920x1080@120
check "1920x1080@120" "1920x1080-125pct" "$screen_name"
skyswap_parse_screen 1024x768@96
check "1024x768@96 is the plain size" "1024x768" "$screen_name"

for bad in "" 800 800x 800x600@ 800x600@abc x600 0x600 800x600x24 "800x600 -ac" "../../x" \
    "800x600@144@96" 1920X1080 "-1x600" "800x600;true"; do
    if skyswap_parse_screen "$bad" 2>/dev/null; then
        check "'$bad' refused" "refused" "accepted as $screen_size@$screen_dpi"
    fi
done
message=$(skyswap_parse_screen 1920x1080@ 2>&1)
[[ $message == *1920x1080@* ]] || check "the refusal names the screen" "*1920x1080@*" "$message"

(
    unset WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
    skyswap_wine_env
    check "the default prefix" "$SKYSWAP_ROOT/build/wineprefix" "$WINEPREFIX"
    check "Wine quiet" "-all" "$WINEDEBUG"
    check "no Mono or Gecko" "mscoree,mshtml=" "$WINEDLLOVERRIDES"
    WINEPREFIX=/elsewhere WINEDEBUG=warn+all skyswap_wine_env
    check "the caller's prefix" "/elsewhere" "$WINEPREFIX"
    check "the caller's debug channels" "warn+all" "$WINEDEBUG"
    WINEPREFIX=/elsewhere skyswap_wine_env /chosen
    check "a prefix given by the script wins" "/chosen" "$WINEPREFIX"
    bash -c '[ "$WINEPREFIX" = /chosen ]' || check "the prefix exported" "/chosen" "not exported"
    exit "$failures"
) || failures=$((failures + $?))

if [ "$failures" -ne 0 ]; then
    echo "lib_test.sh: $failures checks failed" >&2
    exit 1
fi
echo "lib_test.sh: tools/lib.sh passed its checks"
