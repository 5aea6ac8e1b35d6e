#!/usr/bin/env bash
# Typing into the last column of a row, in a real terminal: a 40 x 21 pane gives a 20 x 20 console. The
# character typed at the end of the row above a printed result joins that row to its line, and the row
# keeps its text: the line then reads "?1" ... "+1" and prints 2. Typing one column earlier leaves the
# row below alone.
#   last_column.sh path/to/tavikwm        (exit 77: tmux is missing)
set -euo pipefail
TAVIKWM=$(realpath "$1")
SOCKET_NAME=tavik-last-column
source "$(dirname "$0")/tmux_support.sh"
row() { pane | sed -n "$(($1 + 1))p"; }
# A console row as the terminal shows it: each cell two columns, printable ASCII in its full-width form.
cells() { printf '%s' "$1" | sed -e 's/ /　/g' -e 'y/?+:123/？＋：１２３/'; }
blank20() { cells "$(printf '%20s' '')"; }

sanitize="ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}log_path=$WORK/sanitizer"
sanitize+=" UBSAN_OPTIONS=${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}log_path=$WORK/sanitizer"
[ -z "${LSAN_OPTIONS:-}" ] || sanitize+=" LSAN_OPTIONS=$LSAN_OPTIONS"
T -f /dev/null new-session -d -s t -x 40 -y 21 -c "$WORK" \
    "env -i HOME=$WORK TERM=xterm-256color LANG=C.UTF-8 $sanitize bash --norc --noprofile"
T set-option -t t -g escape-time 0
type_line "$TAVIKWM --terminal; echo status=\$?"
wait_for "ＯＫ"

# Rows 2 and 3: the typed line and its result; the cursor two rows below.
type_line "?1"
wait_for "$(cells "1                   ")"
sleep 0.3
T send-keys -t t Up Up
for _ in $(seq 19); do T send-keys -t t Right; done
T send-keys -t t -l "+"
wait_for "$(cells "?1                 +")"
sleep 0.3
[ "$(row 3)" = "$(cells "1                   ")" ] || fail "the row below lost its text"
T send-keys -t t Enter
wait_for "$(cells "2                   ")"
pane | grep -qF "Ｓｙｎｔａｘ" && fail "the joined line was not submitted whole"

# Column 18 of a row whose last two cells are blank: the row below is not touched.
type_line "cls"
type_line "?3"
wait_for "$(cells "3                   ")"
sleep 0.3
T send-keys -t t Up Up
for _ in $(seq 18); do T send-keys -t t Right; done
T send-keys -t t -l ":"
wait_for "$(cells "?3                : ")"
sleep 0.3
[ "$(row 1)" = "$(cells "3                   ")" ] || fail "typing at column 18 changed the row below"
T send-keys -t t Enter
sleep 0.3
pane | grep -qF "Ｓｙｎｔａｘ" && fail "the line typed at column 18 was not submitted as it stands"
type_line "exit"
wait_for "status=0"
if ls "$WORK"/sanitizer.* >/dev/null 2>&1; then
    cat "$WORK"/sanitizer.*
    fail "the sanitizer reported the above"
fi
echo "last column session passed"
