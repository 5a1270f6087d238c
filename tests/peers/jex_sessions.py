#!/usr/bin/python3
"""A Jex that takes several links in turn, for tests of how the agent desktop connects and
reconnects. Stdlib only, with the scripted Jex's directives (scripted_jex.py beside it).

    jex_sessions.py DIR LINKS WAIT SCRIPT...

Listens on 127.0.0.1 (the port goes to DIR/port) and accepts up to LINKS links, waiting at most
WAIT seconds for each; every link is served by a thread
of its own: link N runs SCRIPT number N, the last script again for every further link. A script
that reads "silent" neither answers the handshake nor says anything; it only waits for the link
to close. DIR/events gets one line per event, as it happens: "accept N T", "closed N T" (when the
desktop closed the link or the script ended) and "failed N reason", T in seconds since the start.
Right after "accept N" comes "before N closed" or "before N open": whether link N-1 had been
closed by the desktop when link N arrived.
"missing N" when no link N came in time. DIR/trafficN gets the scripted Jex's traffic log of link N when
the link is over, DIR/liveN the same entries as they happen. The directives mark, waitfile and upload
of the scripts use DIR for their files.
Once LINKS links have been accepted, or one did not come, the listener closes (further attempts are
refused); when every accepted link is over, DIR/done is written, and the exit code is 0 when every
accepted link's script passed.
"""
import os
import select
import socket
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import lumopeer as P  # noqa: E402
import scripted_jex as J  # noqa: E402

START = time.monotonic()
LOCK = threading.Lock()


def write_atomic(folder, name, text):
    path = os.path.join(folder, name)
    with open(path + ".tmp", "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(path + ".tmp", path)


def event(folder, kind, number, reason=None):
    """One line: the kind, the link's number, then the time, or the reason of a failure."""
    tail = reason if reason is not None else "%.3f" % (time.monotonic() - START)
    with LOCK:
        with open(os.path.join(folder, "events"), "a", encoding="utf-8") as f:
            f.write("%s %d %s\n" % (kind, number, tail))


def wait_closed(sock, timeout):
    """Reads and drops bytes until the other end closes."""
    sock.settimeout(timeout)
    while sock.recv(4096):
        pass


def has_ended(sock):
    """Whether the other end has closed: the end is waiting to be read, or was read already."""
    try:
        readable, _, _ = select.select([sock], [], [], 0)
        return bool(readable) and sock.recv(1, socket.MSG_PEEK) == b""
    except (OSError, ValueError):  # the link's thread has seen the end and let the socket go
        return True


class LiveEntries(list):
    """A traffic log's entries that also go to a file as they come, for a test that must see a
    link's progress before it ends."""

    def __init__(self, path):
        super().__init__()
        self.path = path

    def append(self, entry):
        super().append(entry)
        with open(self.path, "a", encoding="utf-8") as f:
            f.write(J.visible(entry) + "\n")


def serve_link(folder, number, conn, script, results):
    ok = False
    log = None
    try:
        if script.strip() == "silent":
            with conn:
                wait_closed(conn, 120)
        else:
            with P.PeerLink(conn) as link:
                log = J.TrafficLog(link)
                log.entries = LiveEntries(os.path.join(folder, "live%d" % number))
                J.run_script(link, script, log)
        ok = True
    except (P.PeerError, OSError) as e:
        event(folder, "failed", number, str(e))
    event(folder, "closed", number)
    if log:
        write_atomic(folder, "traffic%d" % number, log.text())
    results[number] = ok


def main():
    folder, count, wait, paths = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), sys.argv[4:]
    J.OUTPUT_DIR = folder
    scripts = []
    for path in paths:
        with open(path, encoding="utf-8") as f:
            scripts.append(f.read())
    results = {}
    threads = []
    with P.Listener() as listener:
        write_atomic(folder, "port", "%d\n" % listener.port)
        listener.sock.settimeout(wait)
        for number in range(count):
            try:
                conn, _ = listener.sock.accept()
            except OSError:
                event(folder, "missing", number)
                break
            event(folder, "accept", number)
            if number > 0:
                ended = has_ended(previous) or number - 1 in results
                event(folder, "before", number, "closed" if ended else "open")
            previous = conn
            script = scripts[min(number, len(scripts) - 1)]
            thread = threading.Thread(target=serve_link, args=(folder, number, conn, script, results), daemon=True)
            thread.start()
            threads.append(thread)
    for thread in threads:
        thread.join(180)
    write_atomic(folder, "done", "")
    return 0 if len(results) == len(threads) and all(results.values()) else 1


if __name__ == "__main__":
    sys.exit(main())
