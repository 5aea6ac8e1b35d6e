#!/usr/bin/env bash
# The real program on a virtual X display: it starts on a display with no other client (five times: the fault it guards against was a race), it starts and shows its window, a line typed on the keyboard
# runs (the program it stores is saved to a file), the window shows the grey margins and dark text on
# white, a second start exits 0 and leaves one window, a second start with a FILE (a relative name, from
# another folder) has the first window run it, a listing pasted from the clipboard (Shift+Insert; when
# xclip is installed) becomes the program, and EXIT ends the first. With TAVIK_SMOKE_SHOTS naming a
# folder, screenshots of each step are left there (X window dumps, NAME.xwd).
#   smoke_xvfb.sh TAVIKWM
# Exits 77 (skipped) when xvfb-run, xdotool or xwd is missing.
set -euo pipefail

if [[ "${1:-}" != --inside ]]; then
    for tool in xvfb-run xdotool xwd; do
        command -v "$tool" >/dev/null || { echo "smoke test skipped: $tool is not installed"; exit 77; }
    done
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside "$1"
fi
tavikwm=$(realpath "$2")

work=$(mktemp -d)
# Never "kill 0": with no job control that would end the whole process group (ctest and its caller).
trap 'if [[ -n "${first:-}" ]]; then kill "$first" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
cd "$work"
# A runtime directory of its own: the single-instance lock and socket live there.
export XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY

# With no window manager a synchronous focus may never be confirmed: bound every X call.
focus() { timeout 10 xdotool windowfocus --sync "$window" || timeout 10 xdotool windowfocus "$window" || true; }
fail() {
    echo "smoke test failed: $*" >&2
    exit 1
}

# Before any other client: the program's check of the display must not leave the server without a client
# while the window connects, or the server resets meanwhile and the window dies with status 134.
mkdir -m 700 "$work/alone"
for _ in 1 2 3 4 5; do
    status=0
    XDG_RUNTIME_DIR="$work/alone" timeout 1.5 "$tavikwm" </dev/null >/dev/null 2>&1 || status=$?
    [[ $status == 124 ]] || fail "a start on a display with no other client ended with status $status"
done

"$tavikwm" &
first=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^tavikWM$' | head -n 1) || fail "no window appeared"
sleep 1
focus
timeout 30 xdotool type --delay 20 '10 print 6*7'
timeout 10 xdotool key Return
timeout 30 xdotool type --delay 20 'save "SMOKE.TK"'
timeout 10 xdotool key Return
for _ in $(seq 50); do [[ -s SMOKE.TK ]] && break; sleep 0.1; done
[[ -s SMOKE.TK ]] || fail "the typed save wrote no file"
# The file is UTF-16LE: drop the zero bytes to compare.
tr -d '\000\377\376\r' <SMOKE.TK | grep -qx '10 print 6\*7' || fail "the saved program is not the typed one"

# The window's pixels: 32-bit pixels after the header and the colour map, blue-green-red-unused.
xwd -silent -id "$window" >shot.xwd
field() { od -An -tu4 --endian=big -j $(($1 * 4)) -N4 shot.xwd | tr -d ' '; }
header=$(field 0)
width=$(field 4)
bpp=$(field 11)
stride=$(field 12)
colours=$(field 19)
[[ "$bpp" == 32 ]] || fail "unexpected pixel size $bpp"
pixel() { od -An -tu1 -j $((header + colours * 12 + $2 * stride + $1 * 4)) -N3 shot.xwd | xargs; }
[[ "$(pixel 1 1)" == "128 128 128" ]] || fail "the left margin is $(pixel 1 1), not grey"
counts=$(od -An -v -tu1 -w4 -j $((header + colours * 12)) shot.xwd | awk '
    $1 == 255 && $2 == 255 && $3 == 255 { white++ }
    $1 < 64 && $2 < 64 && $3 < 64 { dark++ }
    END { print white + 0, dark + 0 }')
read -r white dark <<<"$counts"
((white > width * 100)) || fail "the console is not white ($white white pixels)"
((dark > 100)) || fail "no dark text on the screen ($dark dark pixels)"

# A second start brings the first to the front and ends at once.
timeout 10 "$tavikwm" || fail "the second start did not exit 0"
count=$(timeout 10 xdotool search --onlyvisible --name '^tavikWM$' | wc -l)
[[ "$count" == 1 ]] || fail "$count windows after the second start"

shot() {
    if [[ -n "${TAVIK_SMOKE_SHOTS:-}" ]]; then
        mkdir -p "$TAVIK_SMOKE_SHOTS"
        xwd -silent -id "$window" >"$TAVIK_SMOKE_SHOTS/$1.xwd" || true
    fi
}
shot 1-typed
# Typed in the window and saved, so that what the window holds can be read from a file.
save_as() {
    focus
    timeout 30 xdotool type --delay 20 "save \"$1\""
    timeout 10 xdotool key Return
    for _ in $(seq 50); do [[ -s "$1" ]] && break; sleep 0.1; done
    [[ -s "$1" ]] || fail "save \"$1\" wrote nothing"
}

# "Open with": a second start with a FILE, named relative to its own folder, hands it over; the first
# window runs it (its program is then the one in the file) and the second ends with 0.
mkdir elsewhere
printf '10 print "HANDED OVER"\n' >elsewhere/HANDED.TK
(cd elsewhere && timeout 10 "$tavikwm" HANDED.TK) || fail "the second start with a file did not exit 0"
count=$(timeout 10 xdotool search --onlyvisible --name '^tavikWM$' | wc -l)
[[ "$count" == 1 ]] || fail "$count windows after the second start with a file"
sleep 1
shot 2-handed-over
save_as RAN.TK
tr -d '\000\377\376\r' <RAN.TK | grep -qx '10 print "HANDED OVER"' || fail "the handed-over file did not run"

# Paste: a listing with CR LF ends whose last line (a save) has no end and waits for Enter.
if command -v xclip >/dev/null; then
    printf '20 print "PASTED"\r\n30 end\r\nsave "PASTE.TK"' | timeout 10 xclip -selection clipboard
    focus
    timeout 10 xdotool key shift+Insert
    sleep 1
    shot 3-pasted
    [[ ! -e PASTE.TK ]] || fail "the pasted last line ran before Enter"
    timeout 10 xdotool key Return
    for _ in $(seq 50); do [[ -s PASTE.TK ]] && break; sleep 0.1; done
    [[ "$(tr -d '\000\377\376\r' <PASTE.TK)" == $'10 print "HANDED OVER"\n20 print "PASTED"\n30 end' ]] ||
        fail "the pasted listing is not the program: $(tr -d '\000\377\376\r' <PASTE.TK 2>/dev/null)"
else
    echo "paste skipped: xclip is not installed"
fi

focus
timeout 30 xdotool type --delay 20 'exit'
timeout 10 xdotool key Return
for _ in $(seq 50); do kill -0 "$first" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$first" 2>/dev/null; then fail "EXIT did not end the program"; fi
wait "$first" || fail "the program ended with status $?"
first=
echo "smoke test passed"
