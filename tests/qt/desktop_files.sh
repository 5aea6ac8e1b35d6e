#!/usr/bin/env bash
# The desktop's view of tavikWM as installed: the .desktop entry validates without a word, and the MIME
# package makes *.TK files tavikWM programs while *.tk files go by their content (Tk scripts stay Tcl).
#   desktop_files.sh SOURCE_DIR
# Exits 77 (skipped) when desktop-file-validate, update-mime-database or gio is missing.
set -euo pipefail
source_dir=$1
for tool in desktop-file-validate update-mime-database gio; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
fail() {
    echo "failed: $*" >&2
    exit 1
}

report=$(desktop-file-validate "$source_dir/src/shell/qt/tavikwm.desktop" 2>&1) || fail "$report"
[[ -z "$report" ]] || fail "desktop-file-validate: $report"
grep -qx 'MimeType=application/x-tavikwm-program;' "$source_dir/src/shell/qt/tavikwm.desktop" ||
    fail "the entry does not name the program type"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data/mime/packages"
cp "$source_dir/src/shell/qt/tavikwm-mime.xml" "$work/data/mime/packages/tavikwm.xml"
update-mime-database "$work/data/mime" >/dev/null 2>&1 || fail "update-mime-database refused the package"
program='\xff\xfe1\x000\x00 \x00p\x00r\x00i\x00n\x00t\x00\n\x00'
printf "$program" >"$work/SAVED.TK"
printf "$program" >"$work/saved.tk"
printf 'package require Tk\nbutton .b\n' >"$work/tkscript.tk"
expect() {
    local type
    type=$(XDG_DATA_HOME="$work/data" XDG_DATA_DIRS=/usr/share gio info -a standard::content-type "$work/$1" |
        sed -n 's/.*standard::content-type: //p')
    [[ "$type" == "$2" ]] || fail "$1 is $type, not $2"
}
expect SAVED.TK application/x-tavikwm-program
expect saved.tk application/x-tavikwm-program
expect tkscript.tk text/tcl
echo "desktop files: all good"
