# The GUI test slots of a test run: each slot a display, a Wine prefix and a loopback of its own, so
# the focus, top-level windows and listening ports of one test never meet another's.
# Sourced, not run (by scripts/test, after env.sh and xvfb.sh).
#
# Layout of a run's slot folder $LUMO_SLOTS: resources.json (ctest's resource spec, one "displays"
# resource per slot) and one folder per slot id with
#   display  the Xvfb display number
#   netpid   the process holding the slot's network namespace; absent without namespaces
#   prefix/  the slot's Wine prefix
# scripts/gui-slot reads these for the slot ctest hands a test.

# The one prefix wineboot makes; every other prefix of a run is a copy. Shared by the checkouts of a
# machine, so it is only made again when Wine changes.
# Exported: the Python suites that make prefixes of their own copy it too (tests/probe/runner.py).
export LUMO_TEMPLATE_PREFIX=${LUMO_TEMPLATE_PREFIX:-$LUMO_CACHE/wineprefix-template}

# Makes the template prefix unless one for this Wine is there. $1: a display for Wine's first start.
lumo_template_prefix() {
    local version stamp="$LUMO_TEMPLATE_PREFIX.wine-version"
    version=$("$LUMO_WINE" --version 2>/dev/null)
    mkdir -p "$LUMO_CACHE"
    (
        flock 9
        [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ] && [ -f "$LUMO_TEMPLATE_PREFIX/system.reg" ] && exit 0
        rm -rf "$LUMO_TEMPLATE_PREFIX" "$stamp"
        export WINEPREFIX="$LUMO_TEMPLATE_PREFIX" DISPLAY=":$1"
        "$LUMO_WINESERVER" -p >/dev/null 2>&1 </dev/null
        "$LUMO_WINE" wineboot -i >/dev/null 2>&1 </dev/null
        # Copies are only whole once the registry is on disk: the server writes it as it ends.
        "$LUMO_WINESERVER" -k >/dev/null 2>&1
        "$LUMO_WINESERVER" -w >/dev/null 2>&1
        [ -f "$LUMO_TEMPLATE_PREFIX/system.reg" ] || exit 1
        printf '%s\n' "$version" >"$stamp"
    ) 9>"$LUMO_TEMPLATE_PREFIX.lock"
}

# Copies the template prefix to $1. Wine's own DLLs (nearly all of a prefix's 700 MB) are hard links:
# nothing writes them once wineboot is done, and the copy's update stamp keeps wineboot from
# rewriting them. Everything a program may write (registry, users, temp, ini files) is a real copy.
# Not copied: the file "wineserver", where Debian's Wine names the prefix's server folder below
# $TMPDIR. Shared, the copies' servers would be told apart by their prefix folder's inode alone, and
# a prefix whose folder reuses the inode of a removed one would meet that one's server if it still ran.
lumo_clone_prefix() {
    local dst=$1 shared=(drive_c/windows/system32 drive_c/windows/syswow64 drive_c/windows/winsxs)
    (
        flock -s 9
        mkdir -p "$dst/drive_c/windows" || exit 1
        local excludes=(--exclude=./wineserver) d
        for d in "${shared[@]}"; do excludes+=(--exclude="./$d"); done
        (cd "$LUMO_TEMPLATE_PREFIX" && tar "${excludes[@]}" -cf - .) | (cd "$dst" && tar -xf -) || exit 1
        for d in "${shared[@]}"; do
            [ -d "$LUMO_TEMPLATE_PREFIX/$d" ] && { cp -al "$LUMO_TEMPLATE_PREFIX/$d" "$dst/$d" || exit 1; }
        done
        exit 0
    ) 9>"$LUMO_TEMPLATE_PREFIX.lock"
}

# Whether this user can give a slot a network namespace (root can; CI runs as root).
lumo_have_netns() { unshare -n true 2>/dev/null; }

# Starts one slot in $LUMO_SLOTS/$1: its Xvfb, a network namespace of its own with the loopback up
# (where this user may make one), its prefix, and the prefix's wineserver and services in that namespace.
lumo_start_slot() {
    local dir="$LUMO_SLOTS/$1" dfile pid display= run=()
    mkdir -p "$dir"
    lumo_clone_prefix "$dir/prefix" || return 1
    dfile="$dir/displayfd"
    : >"$dfile"
    # Xvfb runs outside the slot's namespace: inside it, its own abstract socket would look free and it
    # would take (and unlink) a display another server holds. Its unix socket is a file, reachable
    # from the namespace.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dfile" >/dev/null 2>&1 </dev/null &
    echo $! >"$dir/xvfbpid"
    for _ in $(seq 100); do display=$(head -n 1 "$dfile"); [ -n "$display" ] && break; sleep 0.1; done
    [ -n "$display" ] || return 1
    echo "$display" >"$dir/display"
    if [ -n "$LUMO_NETNS" ]; then
        # A sleeper holds the namespace for the run; the slot's tests enter it by the sleeper's id.
        unshare -n sh -c 'ip link set lo up && exec sleep infinity' >/dev/null 2>&1 </dev/null &
        pid=$!
        echo "$pid" >"$dir/netpid"
        for _ in $(seq 100); do
            [ "$(readlink "/proc/$pid/ns/net")" != "$(readlink /proc/self/ns/net)" ] \
                && nsenter "--net=/proc/$pid/ns/net" -- ip -o link show lo 2>/dev/null | grep -q 'UP' && break
            sleep 0.05
        done
        run=(nsenter "--net=/proc/$pid/ns/net" --)
    fi
    # The slot's wineserver creates every socket of its programs, so it must live in the slot's
    # namespace; its services and desktop start here, not holding the output pipe of a first test.
    WINEPREFIX="$dir/prefix" DISPLAY=":$display" "${run[@]}" "$LUMO_WINESERVER" -p >/dev/null 2>&1 </dev/null
    WINEPREFIX="$dir/prefix" DISPLAY=":$display" "${run[@]}" "$LUMO_WINE" wineboot >/dev/null 2>&1 </dev/null
    return 0
}

# Starts $1 slots side by side and writes ctest's resource spec; exports LUMO_SLOTS.
lumo_start_slots() {
    local n=$1 i pids=() ok=0
    LUMO_SLOTS=$(mktemp -d "${TMPDIR:-/tmp}/lumo-slots.XXXXXX") || return 1
    export LUMO_SLOTS
    LUMO_NETNS=
    lumo_have_netns && LUMO_NETNS=1
    for ((i = 0; i < n; i++)); do lumo_start_slot "$i" & pids+=($!); done
    for i in "${!pids[@]}"; do wait "${pids[$i]}" || ok=1; done
    ((ok == 0)) || return 1
    {
        printf '{"version": {"major": 1, "minor": 0}, "local": [{"displays": ['
        for ((i = 0; i < n; i++)); do printf '%s{"id": "%d", "slots": 1}' "$([ "$i" -gt 0 ] && echo ', ')" "$i"; done
        printf ']}]}\n'
    } >"$LUMO_SLOTS/resources.json"
}

# Ends what the slots started: each prefix's own wineserver (never another checkout's), each Xvfb by
# its process id; then removes the slots.
lumo_stop_slots() {
    [ -n "${LUMO_SLOTS:-}" ] && [ -d "$LUMO_SLOTS" ] || return 0
    local dir
    for dir in "$LUMO_SLOTS"/*/; do
        [ -d "$dir/prefix" ] && WINEPREFIX="$dir/prefix" "$LUMO_WINESERVER" -k >/dev/null 2>&1
        [ -f "$dir/xvfbpid" ] && kill "$(cat "$dir/xvfbpid")" 2>/dev/null
        [ -f "$dir/netpid" ] && kill "$(cat "$dir/netpid")" 2>/dev/null
    done
    local name
    for dir in "$LUMO_SLOTS"/*/; do
        [ -d "$dir/prefix" ] && WINEPREFIX="$dir/prefix" "$LUMO_WINESERVER" -w >/dev/null 2>&1
        # what the slot's server left in its server folder (see lumo_clone_prefix), and the folder
        # once empty; only the slot's own entry, since a prefix copied before may share the folder
        if name=$(cat "$dir/prefix/wineserver" 2>/dev/null) && [[ $name == wine-* && $name != */* ]]; then
            rm -rf "${TMPDIR:-/tmp}/$name/server-$(stat -c %D "$dir/prefix")-$(printf %x "$(stat -c %i "$dir/prefix")")"
            rmdir "${TMPDIR:-/tmp}/$name" 2>/dev/null
        fi
    done
    rm -rf "$LUMO_SLOTS"
}
