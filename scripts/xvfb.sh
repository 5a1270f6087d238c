# Starts a private Xvfb for a script: sets xvfb_pid and display (its number), or fails.
# Sourced, not run; the caller stops it by xvfb_pid.
start_xvfb() {
    # Xvfb picks a free display itself and writes its number to the given descriptor.
    local dfile
    dfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dfile" >/dev/null 2>&1 &
    xvfb_pid=$!
    display=
    for _ in $(seq 100); do display=$(head -n 1 "$dfile"); [ -n "$display" ] && break; sleep 0.1; done
    rm -f "$dfile"
    [ -n "$display" ]
}
