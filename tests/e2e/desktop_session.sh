#!/usr/bin/env bash
# A person's session with the installed program, on a virtual display, driven
# only by keyboard and mouse: see a misspelt title underlined in red and the
# corrected one not, write a poem and save it, quit, start again,
# find the poem, export it and the whole collection, find it by a word of its
# text and export it again, quit; then the files on
# disk are compared byte for byte. A second start while the first runs must
# be refused.
#
# Usage: tests/e2e/desktop_session.sh BUILD_DIR
set -euo pipefail

build=$(readlink -f "${1:?usage: $0 BUILD_DIR}")
work=$(mktemp -d)
display=:$((90 + RANDOM % 9))
xvfb_pid=""
program_pids=()

cleanup() {
    for pid in "${program_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "desktop session: $*" >&2
    DISPLAY=$display import -window root "$build/e2e-failure.png" 2>/dev/null &&
        echo "screen at the failure: $build/e2e-failure.png" >&2
    exit 1
}

# A portable install: the program keeps its collection beside itself.
cmake --install "$build" --prefix "$work/Stanzel" >/dev/null
home=$work/Stanzel/bin
[[ -x $home/stanzel ]] || fail "the install has no program"
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

start() {
    "$home/stanzel" >>"$work/program.log" 2>&1 &
    program_pids+=($!)
    window=$(xdotool search --sync --onlyvisible --name '^Stanzel v0.1 Beta$' | head -n 1)
    xdotool windowfocus --sync "$window"
    sleep 0.5
}

keys() {
    xdotool key --delay 60 "$@"
    sleep 0.3
}

typed() {
    xdotool type --delay 40 "$1"
    sleep 0.2
}

# The dialog that has come up on top, by its title.
dialog() {
    local id
    id=$(xdotool search --sync --onlyvisible --name "$1" | tail -n 1)
    xdotool windowfocus --sync "$id"
    sleep 0.3
}

wait_for_exit() {
    local pid=${program_pids[-1]}
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
    fail "the program did not quit"
}

# The red pixels of the main window as the screen shows it.
red_pixels() {
    import -window "$window" "$work/window.png"
    convert "$work/window.png" -fuzz 30% -fill black +opaque red -fill white -opaque red \
        -format '%[fx:round(mean*w*h)]' info:
}

# 1. A misspelt title is underlined once the dictionary has loaded; the
#    corrected one is not. Then write a poem and save it.
start
keys ctrl+n
unmarked=$(red_pixels) # the window's own red, in its icons
typed "Mornnig"
underlined=0
for _ in $(seq 50); do
    underlined=$(red_pixels)
    ((underlined > unmarked + 10)) && break
    sleep 0.1
done
((underlined > unmarked + 10)) || fail "the misspelt title is not underlined"
keys BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
typed "Morning"
(($(red_pixels) == unmarked)) || fail "the corrected title is still underlined"
keys Tab
typed "Anna"
keys Tab
typed "2026"
keys Tab
typed "Light on the hill"
keys Return
typed "and on the sea"
keys ctrl+s
dialog '^Save$'
keys Return

# A second start on the same collection is refused, and the first goes on.
"$home/stanzel" >>"$work/second.log" 2>&1 &
second=$!
dialog '^Stanzel v0.1 Beta$'
xdotool search --sync --onlyvisible --name '^Stanzel v0.1 Beta$' >/dev/null
keys Return
for _ in $(seq 50); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
kill -0 "$second" 2>/dev/null && fail "a second program started on the same collection"
wait "$second" && fail "the second start did not report that the collection is open"

xdotool windowfocus --sync "$window"
keys ctrl+q
wait_for_exit

# 2. Start again, find the poem by a piece of its title, export it and then
#    the whole collection as plain text; find it by a word of its text and
#    export it again.
start
keys ctrl+f
dialog '^Searching...$'
typed "Morn"
keys Return
sleep 0.5
xdotool windowfocus --sync "$window"
keys ctrl+e
dialog 'Save|Export|Stanzel'
typed "$work/morning"
keys Return
sleep 0.5
xdotool windowfocus --sync "$window"
keys ctrl+a
dialog 'Save|Export|Stanzel'
typed "$work/collection"
keys Return
sleep 1
xdotool windowfocus --sync "$window"
# Find in Poems: a word of the text, typed in capitals, opens the poem again
# after New has emptied the editor; it is exported once more.
keys ctrl+n
keys ctrl+shift+f
sleep 0.5
typed "SEA"
keys Return
keys ctrl+e
dialog 'Save|Export|Stanzel'
typed "$work/found"
keys Return
sleep 0.5
xdotool windowfocus --sync "$window"
keys ctrl+q
wait_for_exit

# 3. What is on disk.
expect_file() {
    local name=$1 expected=$2
    [[ -f $name ]] || fail "missing: $name"
    if ! cmp -s <(printf '%b' "$expected") "$name"; then
        echo "differs: $name" >&2
        diff <(printf '%b' "$expected" | od -c) <(od -c "$name") >&2 || true
        fail "unexpected bytes in $name"
    fi
}

expect_file "$home/poems.dmp" '[1]\r\ntitle=Morning\r\npoet=Anna\r\ndate=2026\r\n'
expect_file "$home/poems/1.poem" 'Light on the hill\r\nand on the sea'
expect_file "$work/morning.txt" \
    '### Morning ###\n\r\nLight on the hill\r\nand on the sea\r\n\n\r\nPoet: Anna\r\nDate of writing: 2026\r\n\n\r\n### --- ###\r\n'
expect_file "$work/found.txt" \
    '### Morning ###\n\r\nLight on the hill\r\nand on the sea\r\n\n\r\nPoet: Anna\r\nDate of writing: 2026\r\n\n\r\n### --- ###\r\n'
expect_file "$work/collection.txt" \
    '### Morning ###\r\n\n\r\nLight on the hill\r\nand on the sea\r\n\r\n\n\r\nPoet: Anna\r\nDate of writing: 2026\r\n\n\r\n### --- ###\r\n\n\r\r\n'
grep -q $'^autoid=2\r$' "$home/settings.ini" || fail "settings.ini lacks autoid=2"
grep -q $'^one=1\r$' "$home/settings.ini" || fail "settings.ini lacks the export choice"
grep -q $'^all=1\r$' "$home/settings.ini" || fail "settings.ini lacks the export-all choice"
grep -q $'^\\[Colors\\]\r$' "$home/settings.ini" || fail "closing did not store the colours"

echo "desktop session: 1 passed, 0 failed"
