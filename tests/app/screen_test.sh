#!/usr/bin/env bash
# tavrin on a real X server (Xvfb): both windows appear at their size, the
# video area is not blank, and a real key press of L plays the RS-422 deck;
# then the About box shows its menu bar and art, and Check for Updates shows
# the update window with its wheel turning (the server refuses, so it stays).
# Each of the three is a run of its own, ended by the test once it has seen
# what it waits for: every step polls, with a time limit, for what it needs.
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
fail() {
  echo "FAIL: $*"
  [ -s "$tmp/app.out" ] && { echo "--- the program said:"; tail -20 "$tmp/app.out"; }
  exit 1
}

# Runs "$@" until it succeeds; false after LIMIT seconds.
within() {
  local limit=$1 end
  shift
  end=$((SECONDS + limit))
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}

# The server picks a free display itself and names it once it is ready.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
pids+=($!)
within 10 test -s "$tmp/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$tmp/display")"

# The simulated 9-pin deck on a pseudo-terminal, listed as the first port.
"$bin/deck9pin-sim" --log "$tmp/deck.log" --list-as deck >"$tmp/sim.out" 2>&1 &
pids+=($!)
within 10 grep -q '^export' "$tmp/sim.out" || fail "the deck simulator did not start"
eval "$(grep '^export' "$tmp/sim.out")"
mkdir -p "$tmp/prefs"
printf '\001\000\000\000\000\000\000' >"$tmp/prefs/Tavrin! 1.0 Prefs"

# Starts the program with an operator script (its last step keeps it open
# until the test ends it), and ends it.
app=
start_app() {
  printf '%s' "$1" >"$tmp/script"
  TAVRIN_PREFS_DIR="$tmp/prefs" TAVRIN_SCRIPT="$tmp/script" TAVRIN_UPDATE_SERVER=http://127.0.0.1:9 \
    "$bin/tavrin" >"$tmp/app.out" 2>&1 &
  app=$!
  pids+=("$app")
}
stop_app() {
  kill "$app" 2>/dev/null
  wait "$app" 2>/dev/null
}

win() { xwininfo -root -tree 2>/dev/null | grep "\"$1\"" | awk '{print $1}' | head -1; }
shown() { [ -n "$(win "$1")" ]; }
size() { xwininfo -id "$1" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}'; }
sized() { [ "$(size "$1")" = "$2" ]; }
# Not a single colour: the spread of the grey levels of a part of a screenshot.
spreadOf() { convert "$1" -crop "$2" +repage -colorspace gray -format '%[fx:standard_deviation]' info:; }
above() { awk -v s="$1" -v t="$2" 'BEGIN { exit !(s > t) }'; }

# ---- the main window and the palette; L plays the deck ----
start_app $'wait 60000\n'
within 10 shown 'Tavrin!' || fail "no main window"
within 10 shown Controls || fail "no palette"
main=$(win 'Tavrin!')
palette=$(win Controls)
# The main window: 720x480 video + the 100-pixel strip, under a 25-pixel menu bar.
within 5 sized "$main" 720x605 || fail "main window is $(size "$main")"
within 5 sized "$palette" 428x269 || fail "palette is $(size "$palette")"

# The grabber paints the video area on its polls.
videoShown() {
  import -window "$main" "$art/main.png" || return 1
  spread=$(spreadOf "$art/main.png" 720x480+0+125)
  above "$spread" 0.05
}
within 10 videoShown || fail "video area is blank (spread $spread)"
import -window "$palette" "$art/palette.png" || fail "screenshot of the palette"

# A real key press of L while the main window has the focus, held until the
# deck has the command.
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool keydown l
within 5 grep -q "PLAY" "$tmp/deck.log"
played=$?
xdotool keyup l
[ "$played" = 0 ] || { cat "$tmp/deck.log"; fail "the key did not reach the deck"; }
stop_app

# ---- the About box: the menu bar above it, the banner and the logo drawn ----
start_app $'menu aboutmenu\nwait 60000\n'
within 10 shown About || fail "no About window"
about=$(win About)
within 5 sized "$about" 350x356 || fail "About window is $(size "$about")"
artDrawn() {
  import -window "$about" "$art/about.png" || return 1
  banner=$(spreadOf "$art/about.png" 350x100+0+25)
  logo=$(spreadOf "$art/about.png" 133x58+20+290)
  above "$banner" 0.05 && above "$logo" 0.05
}
within 5 artDrawn || fail "About art not drawn ($banner, $logo)"
stop_app

# ---- the update window, checking, its wheel turning ----
start_app $'menu HelpCheckforUpdates\nwait 60000\n'
within 10 shown 'Tavrin! Updates' || fail "no update window on Check for Updates"
update=$(win 'Tavrin! Updates')
within 5 sized "$update" 478x194 || fail "update window is $(size "$update")"
wheelShown() {
  import -window "$update" "$art/update.png" || return 1
  wheel=$(spreadOf "$art/update.png" 36x16+20+147)
  above "$wheel" 0.02
}
within 5 wheelShown || fail "no progress wheel ($wheel)"
convert "$art/update.png" -crop 36x16+20+147 +repage "$tmp/wheel1.png"
wheelTurned() {
  import -window "$update" "$art/update2.png" || return 1
  convert "$art/update2.png" -crop 36x16+20+147 +repage "$tmp/wheel2.png"
  turned=$(compare -metric AE "$tmp/wheel1.png" "$tmp/wheel2.png" null: 2>&1)
  [ "${turned%% *}" != "0" ]
}
within 5 wheelTurned || fail "the progress wheel does not turn"
stop_app
echo "ok: windows at size, video not blank (spread $spread), L played the deck, About art ($banner, $logo), update window with a turning wheel"
