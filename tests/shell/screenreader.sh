#!/usr/bin/env bash
# Runs screenreader.py PROGRAM under an X server and a session bus of its own,
# with Qt's AT-SPI bridge switched on. Exits 77 (a skip) with a message when
# Xvfb, the bus or the accessibility packages are not there.
set -u
program=$1
here=${0%/*}

skip() {
    echo "SKIP: $*"
    exit 77
}

command -v Xvfb >/dev/null || skip "Xvfb is not installed (Debian package xvfb)"
command -v dbus-run-session >/dev/null || skip "dbus-run-session is not installed (Debian package dbus-bin)"
[ -x /usr/libexec/at-spi-bus-launcher ] || skip "the AT-SPI bus launcher is not installed (Debian package at-spi2-core)"
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || skip "pyatspi is not installed (Debian package python3-pyatspi)"

# A display of our own, never the :99 another run may hold.
display=$((200 + $$ % 700))
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
    display=$((display + 1))
done
work=$(mktemp -d)
Xvfb ":$display" -nolisten tcp -screen 0 1280x1024x24 >"$work/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    kill -0 "$xvfb" 2>/dev/null || skip "Xvfb did not start: $(tail -1 "$work/xvfb.log")"
    sleep 0.1
done
[ -e "/tmp/.X11-unix/X$display" ] || skip "Xvfb did not open display :$display within 10 s"

export DISPLAY=":$display" QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# The desktop's libraries keep some memory to the end; their leaks are not the console's.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$here/../tools/lsan-desktop.supp"
# libxkbcommon-x11 hands strndup a keymap name that ends at its length, with
# no NUL after it; the strict check would stop the console at its first line.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0"
unset QT_ACCESSIBILITY NO_AT_BRIDGE
timeout 110 dbus-run-session -- /usr/bin/python3 "$here/screenreader.py" "$program"
result=$?
[ "$result" -eq 124 ] && echo "FAIL: the screen reader's look took over 110 s"
exit "$result"
