#!/usr/bin/python3
"""Local applications on an application port, for tests of what the agent desktop sends them.

    apprecorder.py DIR PORT COUNT

Connects COUNT links to 127.0.0.1:PORT one after another, each with the connecting side's handshake,
and writes DIR/connected when all are up. Then it records every line each link receives into
DIR/linesN (N from 0 in connection order; UTF-8, one line a line, escapes intact) until the other
end closes them all, and writes DIR/done. A line that announces a payload ("UPDTSK -1 LEN ...",
"SNDINT -1 LEN ...", "SNDMSG -1 LEN ...") is followed in the file by "payload LEN CRC32" (hex) of
the bytes read after it. A line "ECHOME ..." is also sent back unchanged, so the other end can see
that its link is still served. Exit code 0 when every link connected and closed in time.
"""

import os
import select
import sys
import time
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lumopeer as lp  # noqa: E402

PAYLOAD_WORDS = ("UPDTSK", "SNDINT", "SNDMSG")


def write_file(folder, name, text):
    path = os.path.join(folder, name)
    with open(path + ".tmp", "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(path + ".tmp", path)  # the C++ side polls for the name: it must appear complete


def record(link, out):
    """Reads what is buffered or arrives now; False once the link has closed."""
    try:
        while True:
            line = link.read_line(0.05)
            out.append(line)
            word, params = lp.split_line(line)
            fields = lp.split_params(params)
            if word in PAYLOAD_WORDS and len(fields) >= 2 and fields[0] == "-1":
                data = link.read_payload(int(fields[1]), timeout=10)
                out.append("payload %d %08x" % (len(data), zlib.crc32(data) & 0xFFFFFFFF))
            if word == "ECHOME":
                link.send_line(line)
    except lp.PeerTimeout:
        return True
    except lp.PeerClosed:
        return False


def main():
    folder, port, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    links = []
    for _ in range(count):
        link = lp.PeerLink.connect("127.0.0.1", port, auto_answer=True)
        link.handshake_as_connector()
        links.append(link)
    lines = [[] for _ in links]
    for i in range(count):
        write_file(folder, "lines%d" % i, "")
    write_file(folder, "connected", "%d\n" % count)
    open_links = set(range(count))
    deadline = time.monotonic() + 120
    while open_links and time.monotonic() < deadline:
        ready = select.select([links[i].sock for i in open_links], [], [], 0.5)[0]
        for i in list(open_links):
            if links[i].sock in ready or links[i]._buf:
                before = len(lines[i])
                if not record(links[i], lines[i]):
                    open_links.discard(i)
                if len(lines[i]) != before:
                    write_file(folder, "lines%d" % i, "".join(line + "\n" for line in lines[i]))
    write_file(folder, "done", "")
    return 0 if not open_links else 1


if __name__ == "__main__":
    sys.exit(main())
