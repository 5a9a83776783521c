# Finding the program's windows and reading screenshots, for end-to-end tests that
# have sourced desktop.sh.

# _visible_windows PID: the program's shown windows, one "id width height" a line.
_visible_windows() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
        echo "$w ${WIDTH:-0} ${HEIGHT:-0}"
    done
}

# panel_window PID: the main window, once it is shown (461 pixels wide; its caption
# changes while a check runs).
panel_window() {
    _visible_windows "$1" | awk '$2 == 461 { print $1; found = 1; exit } END { exit !found }'
}

# icon_window PID: the program's icon embedded in the tray (a small shown window of
# its own; Qt's hidden 1x1 helper window is left out).
icon_window() {
    _visible_windows "$1" |
        awk '$2 > 1 && $2 <= 64 && $3 <= 64 { print $1; found = 1; exit } END { exit !found }'
}

# window_hidden PID WIN: the program's window WIN is not shown.
window_hidden() { ! xdotool search --onlyvisible --pid "$1" 2>/dev/null | grep -qx "$2"; }
# no_window PID: none of the program's windows is shown.
no_window() { [ -z "$(xdotool search --onlyvisible --pid "$1" 2>/dev/null)" ]; }

# menu_window PID: a shown pop-up menu of the program (a shown window of its own that
# is neither the tray icon nor the main window).
menu_window() {
    _visible_windows "$1" |
        awk '$2 > 64 && $2 != 461 && $3 > 20 { print $1; found = 1; exit } END { exit !found }'
}

# _pixels FILE X Y W H PYTHON: runs PYTHON with the crop's pixels as rows of (r, g, b).
_pixels() {
    local file=$1 x=$2 y=$3 w=$4 h=$5 code=$6
    PYTHONPATH="$(dirname "${BASH_SOURCE[0]}")" python3 -c "
import sys
import ppm
w, h, px = ppm.load('$file', '${w}x${h}+${x}+${y}')
rows = [[tuple(px[(r * w + c) * 3:(r * w + c) * 3 + 3]) for c in range(w)] for r in range(h)]
$code"
}

# text_rows FILE X Y W H: the number of lines of dark text in that part of a screenshot
# (bands of rows with a dark pixel, separated by rows without one).
text_rows() {
    _pixels "$@" '
def dark(p): return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2] < 110
bands, inside = 0, False
for row in rows:
    d = any(dark(p) for p in row)
    if d and not inside: bands += 1
    inside = d
print(bands)'
}

# only_white_inside FILE X Y W H "LX LY LW LH" [...]: succeeds when the window at X,Y
# (W x H) has white pixels in the first rectangle and none outside the rectangles given
# (in window coordinates).
only_white_inside() {
    local file=$1 x=$2 y=$3 w=$4 h=$5
    shift 5
    local rects=""
    local r
    for r in "$@"; do rects+="(${r// /,}),"; done
    _pixels "$file" "$x" "$y" "$w" "$h" "
rects = [$rects]
def within(x, y, r): return r[0] <= x < r[0] + r[2] and r[1] <= y < r[1] + r[3]
first = outside = 0
for y, row in enumerate(rows):
    for x, p in enumerate(row):
        if min(p) >= 250:
            if within(x, y, rects[0]): first += 1
            elif not any(within(x, y, r) for r in rects[1:]): outside += 1
sys.exit(0 if first > 0 and outside == 0 else 1)"
}

# window_picture WIN: a fingerprint of what the screen shows where the window is.
window_picture() {
    local X Y WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$1")"
    import -window root png:- 2>/dev/null |
        convert png:- -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage rgb:- | md5sum | cut -c1-32
}
picture_is() { [ "$(window_picture "$1")" = "$2" ]; }
picture_is_not() { [ "$(window_picture "$1")" != "$2" ]; }
