#!/usr/bin/env bash
# The real program on a virtual X display: the preview opened from the
# settings window takes input while the settings window is still open, and
# its "Print &all" prints every page without closing anything.
#
# usage: real_window_test.sh ZEMPRINT   (exit 77: no Xvfb or xdotool here)
set -euo pipefail

zemprint=${1:?usage: real_window_test.sh ZEMPRINT}
for tool in xvfb-run Xvfb xdotool pdfinfo; do
    command -v "$tool" > /dev/null || exit 77
done

if [ -z "${REAL_WINDOW_INNER:-}" ]; then
    REAL_WINDOW_INNER=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$zemprint"
fi

work=$(mktemp -d)
trap 'kill "${pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
export ZEMPRINT_INI=$work/ZEMPrint.ini XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=xcb CUPS_SERVER=127.0.0.1:1
# On a real display the platform plugin talks to the session bus, whose client
# library keeps an allocation for the life of the process.
here=$(cd "$(dirname "$0")" && pwd)
{ cat "$here/../../lsan.supp"; echo "leak:libdbus-1.so"; } > "$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp:print_suppressions=0"
printf 'Window page one\r\n\fWindow page two\r\n\fWindow page three\r\n\f' > "$work/job.prn"

"$zemprint" "$work/job.prn" "$work/out.pdf" 2> "$work/err" &
pid=$!
# The window titled title, once it is shown.
window() {
    timeout 60 xdotool search --sync --onlyvisible --name "$1" || { echo "no window \"$1\"" >&2; cat "$work/err" >&2; exit 1; }
}

settings=$(window '^ZEMPrint .* Settings')
xdotool windowfocus --sync "$settings"
xdotool key alt+r
preview=$(window '^Preview$')
xdotool windowfocus --sync "$preview"
xdotool key alt+a

for _ in $(seq 1 100); do
    [ -s "$work/out.pdf" ] && pdfinfo "$work/out.pdf" > /dev/null 2>&1 && break
    sleep 0.2
done
pages=$(pdfinfo "$work/out.pdf" 2> /dev/null | awk '/^Pages:/ { print $2 }')
if [ "${pages:-0}" != 3 ]; then
    echo "Print all from the preview gave ${pages:-no} pages, expected 3" >&2
    cat "$work/err" >&2
    exit 1
fi
kill -0 "$pid" || { echo "the program ended after printing from the preview" >&2; exit 1; }

# Quit: nothing was changed, so the program ends at once, without printing again.
rm "$work/out.pdf"
xdotool windowfocus --sync "$settings"
xdotool key Escape
for _ in $(seq 1 100); do
    kill -0 "$pid" 2> /dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2> /dev/null; then
    echo "Esc did not close the settings window" >&2
    exit 1
fi
pid=
[ ! -e "$work/out.pdf" ] || { echo "Quit printed the job" >&2; exit 1; }
echo "preview printed 3 pages beside the open settings window; Esc quit without printing"
