#!/usr/bin/env bash
# The console in a real terminal: tavikwm --terminal in a tmux pane, typed at as a person would. A program
# is typed, listed, changed in place on the screen and saved (the file's bytes are checked), the screen is
# cleared, Ctrl+C breaks a loop, a click places the cursor, the MENU's Save As asks for a name on the bottom line, a resize of the pane
# re-lays the console, and EXIT leaves the pane exactly as it was.
#   tmux_session.sh path/to/tavikwm        (exit 77: tmux is missing)
set -euo pipefail
TAVIKWM=$(realpath "$1")
SOCKET_NAME=tavik-terminal-test
source "$(dirname "$0")/tmux_support.sh"
wait_gone() {
    for _ in $(seq 100); do
        if ! pane | grep -qF -- "$1"; then return 0; fi
        sleep 0.1
    done
    fail "the pane still shows '$1'"
}

# Under a sanitizer, its reports go to files (the terminal's screen would hide them) that fail the test.
sanitize="ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}log_path=$WORK/sanitizer"
sanitize+=" TSAN_OPTIONS=${TSAN_OPTIONS:+$TSAN_OPTIONS:}log_path=$WORK/sanitizer"
sanitize+=" UBSAN_OPTIONS=${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}log_path=$WORK/sanitizer"
[ -z "${LSAN_OPTIONS:-}" ] || sanitize+=" LSAN_OPTIONS=$LSAN_OPTIONS"
T -f /dev/null new-session -d -s t -x 80 -y 25 -c "$WORK" \
    "env -i HOME=$WORK TERM=xterm-256color LANG=C.UTF-8 PS1='$ ' $sanitize bash --norc --noprofile"
T set-option -t t -g escape-time 0
wait_for '$'
type_line "echo before"
wait_for "before"
type_line "$TAVIKWM --terminal; echo status=\$?"
wait_for "ＯＫ"
wait_for "MENU (F10, Alt+M)"
[ "$(T display -p -t t '#{alternate_on}')" = 1 ] || fail "not on the alternate screen"

# A program, listed, one listed line changed in place with the arrow keys.
type_line "cls"
type_line '10 print "hi"'
type_line "20 goto 10"
type_line "list"
wait_for '２０　ｇｏｔｏ　１０'
sleep 0.3
T send-keys -t t Up Up
for _ in $(seq 10); do T send-keys -t t Right; done
T send-keys -t t -l "x"
T send-keys -t t Enter
type_line 'save "prog.tk"'
for _ in $(seq 100); do [ -s "$WORK/prog.tk" ] && break; sleep 0.1; done
printf '\xff\xfe' >"$WORK/expected.tk"
printf '10 print "xhi"\r\n20 goto 10\r\n' | iconv -f UTF-8 -t UTF-16LE >>"$WORK/expected.tk"
cmp "$WORK/prog.tk" "$WORK/expected.tk" || fail "the saved file's bytes: $(xxd "$WORK/prog.tk")"

type_line "cls"
wait_gone 'ｓａｖｅ'

# Ctrl+C is BREAK: the loop stops with its message.
type_line "run"
wait_for 'ｘｈｉ'
T send-keys -t t C-c
wait_for 'Ｂｒｅａｋ　ｉｎ'
sleep 1.2 # a second Ctrl+C within a second would end the program

# A bracketed paste of a listing: each line typed and entered, so the lines are stored; then taken back out.
T set-buffer -b listing $'100 rem pasted\r\n110 rem too\n'
T paste-buffer -p -d -b listing -t t
wait_for '１１０　ｒｅｍ　ｔｏｏ'
type_line "list 100"
for _ in $(seq 100); do
    [ "$(pane | grep -cF '１００　ｒｅｍ　ｐａｓｔｅｄ')" -ge 2 ] && break
    sleep 0.1
done
[ "$(pane | grep -cF '１００　ｒｅｍ　ｐａｓｔｅｄ')" -ge 2 ] || fail "the pasted line was not stored"
type_line "100"
type_line "110"
type_line "cls"
# A paste with a line longer than the console takes is refused whole, with the window's message.
T set-buffer -b long "10 rem $(printf 'y%.0s' $(seq 300))"
T paste-buffer -p -d -b long -t t
wait_for "Nothing was pasted: line 1 has 307 characters"
T send-keys -t t Space
wait_gone "Nothing was pasted"
pane | grep -qF 'ｙｙｙ' && fail "a refused paste was typed"

# F10 opens the MENU; File, Save As... asks for the name on the bottom line.
T send-keys -t t F10
wait_for "File"
T send-keys -t t Down Enter
wait_for "Save As..."
T send-keys -t t Down Down Down Enter
wait_for "Save As:"
T send-keys -t t -l "copy.tk"
T send-keys -t t Enter
for _ in $(seq 100); do [ -s "$WORK/copy.tk" ] && break; sleep 0.1; done
cmp "$WORK/copy.tk" "$WORK/expected.tk" || fail "Save As wrote other bytes"
wait_for 'ｓａｖｅ　” '

# The bottom line answers what a dialog would: Save As asks before replacing, Open refuses a missing file,
# and a name no command line can hold is refused with the window's message; the console goes on after each.
menu_file() {
    T send-keys -t t F10
    wait_for "Run..."
    T send-keys -t t Down Enter
    wait_for "Save As..."
    for _ in $(seq "$1"); do T send-keys -t t Down; done
    T send-keys -t t Enter
}
menu_file 3
wait_for "Save As:"
T send-keys -t t -l "copy.tk"
T send-keys -t t Enter
wait_for "copy.tk exists. Replace it? (y/n)"
T send-keys -t t -l "y"
wait_gone "Replace it?"
menu_file 1
wait_for "Open:"
T send-keys -t t -l "nothere.tk"
T send-keys -t t Enter
wait_for "No such file: nothere.tk"
wait_for "(press a key)"
T send-keys -t t Space
wait_gone "No such file"
menu_file 3
T send-keys -t t -l 'say "hi".tk'
T send-keys -t t Enter
wait_for "A file name with a quotation mark or a control character cannot be"
wait_for 'say "hi".tk'
T send-keys -t t Escape
wait_gone "A file name with"
[ ! -e "$WORK/say \"hi\".tk" ] || fail "a refused name was saved"

# A larger pane: the screen is 50 x 39 cells, the 24 x 24 grid centred anew at column 26, row 7.
T resize-window -t t -x 100 -y 40
# (Characters, not bytes: the locale is UTF-8.)
grid_text() {
    local line
    line=$(pane | sed -n 8p)
    echo "${line:26:2}"
}
for _ in $(seq 100); do
    [ "$(grid_text)" = "ｓａ" ] && break
    sleep 0.1
done
[ "$(grid_text)" = "ｓａ" ] || fail "the console was not laid out anew after the resize"
bar=$(pane | sed -n 40p)
# The bar's last column is a blank, which the capture leaves out.
[[ "$bar" == " BREAK (Ctrl+C) "*" MENU (F10, Alt+M)" && ${#bar} == 99 ]] ||
    fail "the soft-key bar did not follow the resize: '$bar'"

# A click places the cursor: the terminal reports it in SGR form (sent here as the terminal would send it),
# console cell (c, r) being terminal column 27 + 2c, row 8 + r counted from 1. Home, End and Delete edit.
[ "$(T display -p -t t '#{mouse_sgr_flag} #{mouse_standard_flag}')" = "1 1" ] || fail "mouse reporting is off"
click() { T send-keys -t t -l -- $'\e'"[<0;$1;$2M"$'\e'"[<0;$1;$2m"; }
type_line "cls"
wait_gone 'ｃｌｓ'
T send-keys -t t -l "xprint 123"
wait_for 'ｘｐｒｉｎｔ　１２３'
click 43 8 # the 2
click 1 8  # the margin, outside the grid
click 43 40 # the soft-key bar
T send-keys -t t DC Home DC End
T send-keys -t t -l "4"
T send-keys -t t Enter
wait_for '１３４'
pane | grep -qF 'ｐｒｉｎｔ　１３４' || fail "the click, Home, End and Delete did not edit the line"

# MENU, Renumber... asks for RENUM's arguments on the bottom line, typed there already, and types the command.
T send-keys -t t F10
wait_for "Renumber..."
T send-keys -t t Down Down Down Down Enter # past About..., File, Run... and Examples
wait_for "RENUM new,old,step: 10,,10"
for _ in $(seq 6); do T send-keys -t t BSpace; done
T send-keys -t t -l "100,,5"
T send-keys -t t Enter
wait_for 'ｒｅｎｕｍ　１００，，５'
type_line "list"
wait_for '１０５　ｇｏｔｏ　１００'

modes() {
    T display -p -t t '#{alternate_on} #{cursor_flag} #{wrap_flag} #{insert_flag} #{keypad_cursor_flag}'\
' #{mouse_sgr_flag} #{mouse_standard_flag}'
}
type_line "exit"
wait_for "status=0"
[ "$(modes)" = "0 1 1 0 0 0 0" ] || fail "the terminal's modes were not restored after EXIT: $(modes)"

# In a pane of the same size from start to end, EXIT leaves it exactly as it was, with the shell's prompt
# after the status; so do the MENU's Exit, a double Ctrl+C (the status of a break) and SIGTERM.
for way in exit menu break sigterm; do
    type_line "clear"
    sleep 0.3
    type_line "echo before $way"
    wait_for "before $way"
    sleep 0.2
    before=$(pane | sed -e '/^$/d' | sed -e '$d')
    # Started through sh, which leaves its process id for the signal.
    command="sh -c 'echo \$\$ >tavik.pid; exec $TAVIKWM'; echo status=\$?"
    type_line "$command"
    wait_for "ＯＫ"
    type_line "print 6*7"
    wait_for "４２"
    case $way in
    exit)
        type_line "exit"
        status=0
        ;;
    menu)
        T send-keys -t t F10
        wait_for "Run..."
        T send-keys -t t Up Enter
        status=0
        ;;
    break)
        T send-keys -t t C-c C-c
        status=130
        ;;
    sigterm)
        kill -TERM "$(cat "$WORK/tavik.pid")"
        status=143
        ;;
    esac
    wait_for "status=$status"
    [ "$(modes)" = "0 1 1 0 0 0 0" ] || fail "the terminal's modes were not restored ($way): $(modes)"
    sleep 0.2
    after=$(pane | sed -e '/^$/d')
    expected="$before
\$ $command
status=$status
\$"
    [ "$after" = "$expected" ] || fail "the pane is not as it was ($way):
$after
--- expected:
$expected"
done
# The terminal's line discipline is back too: typed text echoes, Enter ends a line.
type_line "echo echoed"
wait_for "echoed"
# A pipe on either side keeps the batch console, --terminal or not.
type_line "clear; echo 'print 6*7' | $TAVIKWM --terminal"
wait_for "needs a terminal on standard input and output; the batch console runs instead"
wait_for "42"
[ "$(modes)" = "0 1 1 0 0 0 0" ] || fail "the batch console changed the terminal's modes: $(modes)"
if ls "$WORK"/sanitizer.* >/dev/null 2>&1; then
    cat "$WORK"/sanitizer.*
    fail "the sanitizer reported the above"
fi
echo "terminal session passed"
