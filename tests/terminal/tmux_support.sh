# What the tmux tests share: a tmux server of the test's own, a scratch folder, and reading and typing at
# the pane "t". Sourced by each test after it sets SOCKET_NAME; the test is skipped (77) without tmux.
command -v tmux >/dev/null || { echo "tmux is missing: skipped"; exit 77; }
export LANG=C.UTF-8 LC_ALL=C.UTF-8

WORK=$(mktemp -d)
SOCKET="$SOCKET_NAME-$$"
T() { tmux -L "$SOCKET" "$@"; }
cleanup() {
    T kill-server 2>/dev/null || true
    sleep 0.2
    rm -rf "$WORK" || true
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    echo "--- pane:"
    T capture-pane -p -t t || true
    exit 1
}
pane() { T capture-pane -p -t t; }
# Waits up to 10 s until the pane shows the text.
wait_for() {
    for _ in $(seq 100); do
        if pane | grep -qF -- "$1"; then return 0; fi
        sleep 0.1
    done
    fail "the pane never showed '$1'"
}
type_line() {
    T send-keys -t t -l -- "$1"
    T send-keys -t t Enter
}
