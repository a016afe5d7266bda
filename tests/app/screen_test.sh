#!/usr/bin/env bash
# tavrin on a real X server (Xvfb): both windows appear at their size, the
# video area is not blank, and a real key press of L plays the RS-422 deck;
# then the About box shows its menu bar and art, and Check for Updates shows
# the update window with its wheel turning (the server refuses, so it stays).
# Usage: screen_test.sh <bin folder> <artifacts folder>
set -uo pipefail
bin=$1
art=$2
command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v import >/dev/null || exit 77
mkdir -p "$art"
tmp=$(mktemp -d)
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

for n in $(seq 91 140); do [ -e "/tmp/.X$n-lock" ] || break; done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=":$n"
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done

# The simulated 9-pin deck on a pseudo-terminal, listed as the first port.
"$bin/deck9pin-sim" --log "$tmp/deck.log" --list-as deck >"$tmp/sim.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do grep -q '^export' "$tmp/sim.out" 2>/dev/null && break; sleep 0.1; done
eval "$(grep '^export' "$tmp/sim.out")"
mkdir -p "$tmp/prefs"
printf '\001\000\000\000\000\000\000' >"$tmp/prefs/Tavrin! 1.0 Prefs"
printf 'wait 6000\nmenu aboutmenu\nwait 2500\nmenu HelpCheckforUpdates\nwait 4000\nmenu FileQuit\n' >"$tmp/script"

TAVRIN_PREFS_DIR="$tmp/prefs" TAVRIN_SCRIPT="$tmp/script" TAVRIN_UPDATE_SERVER=http://127.0.0.1:9 \
    "$bin/tavrin" >"$tmp/app.out" 2>&1 &
pids+=($!)

win() { xwininfo -root -tree 2>/dev/null | grep "\"$1\"" | awk '{print $1}' | head -1; }
for _ in $(seq 100); do [ -n "$(win 'Tavrin!')" ] && [ -n "$(win Controls)" ] && break; sleep 0.1; done
main=$(win 'Tavrin!')
palette=$(win Controls)
[ -n "$main" ] || fail "no main window"
[ -n "$palette" ] || fail "no palette"
sleep 1  # a few polls of the grabber

size() { xwininfo -id "$1" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}'; }
# The main window: 720x480 video + the 100-pixel strip, under a 25-pixel menu bar.
[ "$(size "$main")" = "720x605" ] || fail "main window is $(size "$main")"
[ "$(size "$palette")" = "428x269" ] || fail "palette is $(size "$palette")"

import -window "$main" "$art/main.png" || fail "screenshot of the main window"
import -window "$palette" "$art/palette.png" || fail "screenshot of the palette"
spread=$(convert "$art/main.png" -crop 720x480+0+125 +repage -colorspace gray -format '%[fx:standard_deviation]' info:)
awk -v s="$spread" 'BEGIN { exit !(s > 0.05) }' || fail "video area is blank (spread $spread)"

# A real key press of L while the main window has the focus.
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
sleep 0.3
xdotool keydown l
sleep 0.3
xdotool keyup l
sleep 0.5
grep -q "PLAY" "$tmp/deck.log" || { cat "$tmp/deck.log"; fail "the key did not reach the deck"; }

# Not a single colour: the spread of the grey levels of a part of a screenshot.
spreadOf() { convert "$1" -crop "$2" +repage -colorspace gray -format '%[fx:standard_deviation]' info:; }

# The About box: the menu bar above it, the banner and the logo drawn.
for _ in $(seq 100); do [ -n "$(win About)" ] && break; sleep 0.1; done
about=$(win About)
[ -n "$about" ] || fail "no About window"
sleep 0.5
[ "$(size "$about")" = "350x356" ] || fail "About window is $(size "$about")"
import -window "$about" "$art/about.png" || fail "screenshot of the About window"
banner=$(spreadOf "$art/about.png" 350x100+0+25)
logo=$(spreadOf "$art/about.png" 133x58+20+290)
awk -v b="$banner" -v l="$logo" 'BEGIN { exit !(b > 0.05 && l > 0.05) }' || fail "About art not drawn ($banner, $logo)"

# The update window, checking, its wheel turning.
for _ in $(seq 100); do [ -n "$(win 'Tavrin! Updates')" ] && break; sleep 0.1; done
update=$(win 'Tavrin! Updates')
[ -n "$update" ] || fail "no update window on Check for Updates"
sleep 0.5
[ "$(size "$update")" = "478x194" ] || fail "update window is $(size "$update")"
import -window "$update" "$art/update.png" || fail "screenshot of the update window"
sleep 0.3
import -window "$update" "$art/update2.png" || fail "second screenshot of the update window"
wheel=$(spreadOf "$art/update.png" 36x16+20+147)
awk -v w="$wheel" 'BEGIN { exit !(w > 0.02) }' || fail "no progress wheel ($wheel)"
turned=$(compare -metric AE <(convert "$art/update.png" -crop 36x16+20+147 +repage png:-) \
    <(convert "$art/update2.png" -crop 36x16+20+147 +repage png:-) null: 2>&1)
[ "${turned%% *}" != "0" ] || fail "the progress wheel does not turn"
echo "ok: windows at size, video not blank (spread $spread), L played the deck, About art ($banner, $logo), update window with a turning wheel"
