#!/usr/bin/env bash
# tavrin on a real X server (Xvfb), driven by real mouse and key presses:
# both windows appear at their size, side by side, the video area is not
# blank, and a real key press of L plays the RS-422 deck; the shuttle thumb
# dragged to its end and let go springs back to the centre and the deck is
# stopped; the About box shows its art under the application's menu bar; the
# deck dialog and the update window are drawn (their screenshots are
# kept); Check for Updates
# shows the wheel turning while the server is silent, and says the check
# could not be made when it refuses; and Ctrl+Q during a capture set up by
# the script's answers saves the frames grabbed before the program ends.
# Each is a run of its own, ended by the test once it has seen what it
# waits for: every step polls, with a time limit, for what it needs.
# Usage: screen_test.sh <bin folder> <artifacts folder>
set -uo pipefail
bin=$1
art=$2
source "$(dirname "$0")/screen_lib.sh"
start_x

# The simulated 9-pin deck on a pseudo-terminal, listed as the first port.
ends_with_test "$bin/deck9pin-sim" --log "$tmp/deck.log" --list-as deck >"$tmp/sim.out" 2>&1 &
pids+=($!)
within 10 grep -q '^export' "$tmp/sim.out" || fail "the deck simulator did not start"
eval "$(grep '^export' "$tmp/sim.out")"
mkdir -p "$tmp/prefs"
printf '\001\000\000\000\000\000\000' >"$tmp/prefs/Tavrin! 1.0 Prefs"

# A server that takes connections and never answers: a check against it
# stays under way.
ends_with_test python3 -c '
import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(8)
print(s.getsockname()[1], flush=True); time.sleep(3600)' >"$tmp/silent.port" &
pids+=($!)
within 10 test -s "$tmp/silent.port" || fail "the silent server did not start"
silent=http://127.0.0.1:$(head -1 "$tmp/silent.port")

# Starts the program with an operator script (its last step keeps it open
# until the test ends it), and ends it. UPDATES names the update server.
app=
start_app() {
  printf '%s' "$1" >"$tmp/script"
  TAVRIN_PREFS_DIR="$tmp/prefs" TAVRIN_SCRIPT="$tmp/script" TAVRIN_UPDATE_SERVER=${UPDATES:-http://127.0.0.1:9} \
    "$bin/tavrin" >"$tmp/app.out" 2>&1 &
  app=$!
  pids+=("$app")
}
stop_app() {
  kill "$app" 2>/dev/null
  wait "$app" 2>/dev/null
}

size() { xwininfo -id "$1" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}'; }
# left, and left + width, of a window on the screen
edges() { xwininfo -id "$1" | awk '/Absolute upper-left X:/{x=$4} /Width:/{w=$2} END{print x, x + w}'; }
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
# The palette beside the main window, not over its controls.
read -r _ mainRight < <(edges "$main")
read -r paletteLeft _ < <(edges "$palette")
[ "$mainRight" -le "$paletteLeft" ] || fail "the palette (from x $paletteLeft) covers the main window (to x $mainRight)"

# A real key press of L while the main window has the focus, held until the
# deck has the command.
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool keydown l
within 5 grep -q "PLAY" "$tmp/deck.log"
played=$?
xdotool keyup l
[ "$played" = 0 ] || { cat "$tmp/deck.log"; fail "the key did not reach the deck"; }

# The shuttle (slider 136,49 144x16 under the 25-pixel menu bar): the thumb
# dragged from the centre to the right end and let go there, then the
# pointer moved away. The deck winds, then is stopped; the thumb is back.
thumb() { import -window "$main" "$tmp/shuttle.png" && convert "$tmp/shuttle.png" -crop 160x30+130+68 +repage "$1"; }
thumb "$art/shuttle-centre.png" || fail "screenshot of the shuttle"
marks=$(wc -l <"$tmp/deck.log")
xdotool mousemove --window "$main" 208 82 mousedown 1
for x in 230 250 270 275; do xdotool mousemove --window "$main" "$x" 82; sleep 0.05; done
# The deck log since the mark has a line with $1.
sent() { tail -n +$((marks + 1)) "$tmp/deck.log" | grep -q "$1"; }
within 5 sent "SHUTTLE FWD" || fail "the drag did not wind the deck"
xdotool mouseup 1
thumb "$art/shuttle-held.png"
xdotool mousemove --window "$main" 400 400
stopped() { tail -n +$((marks + 1)) "$tmp/deck.log" | tail -1 | grep -q "STOP"; }
within 5 stopped || { tail -5 "$tmp/deck.log"; fail "the deck was not stopped when the mouse left the shuttle"; }
centred() {
  thumb "$art/shuttle-after.png" || return 1
  [ "$(compare -metric AE "$art/shuttle-centre.png" "$art/shuttle-after.png" null: 2>&1)" = 0 ]
}
within 5 centred || fail "the shuttle did not spring back to the centre"
stop_app

# ---- the deck dialog, drawn for a look ----
start_app $'menu VideoDeckControl\nwait 60000\n'
within 10 shown 'Deck Control Settings' || fail "no deck dialog"
within 5 import -window "$(win 'Deck Control Settings')" "$art/deck.png" || fail "screenshot of the deck dialog"
stop_app

# ---- the About box: the menu bar (25 pixels) over the banner and the logo ----
start_app $'menu aboutmenu\nwait 60000\n'
within 10 shown About || fail "no About window"
about=$(win About)
within 5 sized "$about" 350x356 || fail "About window is $(size "$about")"
artDrawn() {
  import -window "$about" "$art/about.png" || return 1
  menus=$(spreadOf "$art/about.png" 120x25+0+0)
  banner=$(spreadOf "$art/about.png" 350x100+0+25)
  logo=$(spreadOf "$art/about.png" 133x58+20+290)
  above "$menus" 0.02 && above "$banner" 0.05 && above "$logo" 0.05
}
within 5 artDrawn || fail "About art or menu bar not drawn ($menus, $banner, $logo)"
stop_app

# ---- the update window, checking, its wheel turning ----
UPDATES=$silent start_app $'menu HelpCheckforUpdates\nwait 60000\n'
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

# ---- the update check refused: the wheel goes, the window says so ----
start_app $'menu HelpCheckforUpdates\nwait 60000\n'
within 10 shown 'Tavrin! Updates' || fail "no update window on Check for Updates"
update=$(win 'Tavrin! Updates')
saysWhy() {
  import -window "$update" "$art/update-refused.png" || return 1
  wheel=$(spreadOf "$art/update-refused.png" 36x16+20+147)
  said=$(spreadOf "$art/update-refused.png" 438x55+20+87)
  above "$said" 0.05 && ! above "$wheel" 0.001
}
within 10 saysWhy || fail "the refused check did not end (wheel $wheel, result $said)"
stop_app

# ---- Ctrl+Q during a capture: the script answers the folder and cue
# dialogs on screen; the frames grabbed are saved before the program ends ----
mkdir -p "$tmp/frames"
marks=$(wc -l <"$tmp/deck.log")
start_app "type controlwindow framecount 100
type controlwindow nameprefix scr
answer folder $tmp/frames
click controlwindow BevelButton1
answer ok
click controlwindow capturebutton
$(for i in $(seq 300); do printf 'wait 200\ndump controlwindow\n'; done)
"
within 10 shown 'Tavrin!' || fail "no main window"
within 10 sent PLAY || fail "the capture did not start (scripted answers on screen?)"
# Two frames grabbed (one a second), as the palette's progress in the dumps says.
within 20 grep -q "ProgressBar1 .* value=2 max=100" "$tmp/app.out" || fail "no frames grabbed"
main=$(win 'Tavrin!')
xdotool windowfocus --sync "$main" 2>/dev/null
xdotool key --window "$main" ctrl+q
within 20 ended || fail "Ctrl+Q during a capture did not end the program"
wait "$app"
status=$?
[ "$status" = 0 ] || fail "the program ended with $status"
saved=$(sed -n 's/^tavrin: \([0-9]*\) frames saved, quitting$/\1/p' "$tmp/app.out")
[ -n "$saved" ] && [ "$saved" -ge 2 ] || fail "no frames saved"
[ "$(ls "$tmp/frames" | wc -l)" = "$saved" ] || fail "$saved frames said saved, $(ls "$tmp/frames" | wc -l) files"
tail -1 "$tmp/deck.log" | grep -q STOP || fail "the deck was not stopped"
echo "ok: windows at size and side by side, video not blank (spread $spread), L played the deck, the shuttle sprang back and stopped the deck, About menu bar and art ($menus, $banner, $logo), update window with a turning wheel and a refused check that ends, Ctrl+Q mid-capture saved $saved frames"
