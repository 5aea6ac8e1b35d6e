#!/usr/bin/env bash
# Scripts at the edges of the process, where a typed session cannot reach: FILE as a pipe and as an
# executable script, standard output that fails (a full disk, a closed pipe with SIGPIPE ignored), an
# unreadable FILE, Ctrl-C while FILE is still arriving, a program's escape sequences to a terminal.
#   script_streams.sh TAVIKWM
set -u
tavikwm=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0

# expect WHAT EXPECTED ACTUAL
expect() {
  if [ "$2" != "$3" ]; then
    printf 'FAIL %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}

printf '10 FOR I=1 TO 3:PRINT I:NEXT\n20 GOTO 10\n' > loop.tk

# A full disk: status 1 and one line on standard error, instead of printing for ever.
timeout 20 "$tavikwm" --batch loop.tk < /dev/null > /dev/full 2> err
expect "output to /dev/full: status" 1 "$?"
expect "output to /dev/full: standard error" "tavikwm: standard output: No space left on device" "$(cat err)"

# A closed pipe with SIGPIPE inherited as ignored: the same, instead of writing into the pipe for ever.
(trap '' PIPE; timeout 20 "$tavikwm" --batch loop.tk < /dev/null 2> err | head -c 6 > head.out; echo "${PIPESTATUS[0]}" > status)
expect "closed pipe: what arrived" "$(printf '1\n2\n3\n')" "$(cat head.out)"
expect "closed pipe: status" 1 "$(cat status)"
expect "closed pipe: standard error" "tavikwm: standard output: Broken pipe" "$(cat err)"

# FILE may be a pipe: read once, checked, then run; its input is standard input.
printf '10 A=INPUT:PRINT A*2\n' > double.tk
out=$(echo 21 | timeout 20 "$tavikwm" --batch <(cat double.tk) 2> err)
expect "FILE as a pipe: status" 0 "$?"
expect "FILE as a pipe: output" "? 21
42" "$out"
expect "FILE as a pipe: standard error" "" "$(cat err)"
mkfifo fifo.tk
cat double.tk > fifo.tk &
out=$(echo 5 | timeout 20 "$tavikwm" --batch fifo.tk 2> err)
expect "FILE as a named pipe: output" "? 5
10" "$out"

# An executable script in UTF-8 names its interpreter on its first line (the manual's example).
mkdir bin
ln -s "$tavikwm" bin/tavikwm
printf '#!/usr/bin/env -S tavikwm --batch\n10 PRINT "A number";\n20 N=INPUT\n30 PRINT "Twice that is ";N*2\n' > double
chmod +x double
out=$(echo 21 | PATH="$work/bin:$PATH" timeout 20 ./double 2> err)
expect "executable script: status" 0 "$?"
expect "executable script: output" "A number? 21
Twice that is 42" "$out"
expect "executable script: standard error" "" "$(cat err)"
printf '#!/usr/bin/env -S tavikwm --batch\n10 PRINT 1/0\n' > fails
chmod +x fails
PATH="$work/bin:$PATH" timeout 20 ./fails < /dev/null > out 2> err
expect "failing executable script: status" 1 "$?"
expect "failing executable script: standard error" "./fails: Divide by 0 in 10" "$(cat err)"

# A file whose reading fails is a load error, not an empty program that ran well.
if [ -r /proc/self/mem ]; then
  timeout 20 "$tavikwm" --batch /proc/self/mem < /dev/null > out 2> err
  expect "/proc/self/mem: status" 1 "$?"
  expect "/proc/self/mem: output" "" "$(cat out)"
  expect "/proc/self/mem: standard error" "/proc/self/mem: File Not Found or Load Error in 0" "$(cat err)"
fi

# Ctrl-C while FILE is still arriving stops the load; nothing runs.
mkfifo slow.tk
sleep 30 > slow.tk &
sleeper=$!
timeout 20 "$tavikwm" --batch slow.tk < /dev/null > out 2> err &
pid=$!
sleep 0.5
kill -INT "$pid"
wait "$pid"
expect "break while FILE arrives: status" 130 "$?"
expect "break while FILE arrives: standard error" "slow.tk: Break in 0" "$(cat err)"
kill "$sleeper" 2> /dev/null

# A program's escape sequences never reach a terminal: there they are shown as U+FFFD; a pipe gets them.
printf '10 PRINT CHR 27;"]0;PWNED";CHR 27;"]52;c;SGVsbG8=";CHR 8238;"x"\n' > escape.tk
if command -v script > /dev/null; then
  timeout 20 script -qec "$tavikwm --batch escape.tk" /dev/null < /dev/null > tty.out
  expect "escape sequences to a terminal" "$(printf '\357\277\275]0;PWNED\357\277\275]52;c;SGVsbG8=\357\277\275x\r')" \
    "$(cat tty.out)"
else
  echo "script (util-linux) is missing: the terminal case is skipped"
fi
timeout 20 "$tavikwm" --batch escape.tk < /dev/null > pipe.out
expect "escape sequences to a pipe" "$(printf '\033]0;PWNED\033]52;c;SGVsbG8=\342\200\256x')" "$(cat pipe.out)"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
