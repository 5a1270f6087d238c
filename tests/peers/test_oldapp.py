"""The old-dialect application checks itself against a plain socket: the bytes it writes in each
encoding, where it finds a UTF-16 line end, payloads, and a failing expectation."""
import os
import socket
import tempfile
import threading
import unittest
import zlib

import oldapp


class Desktop:
    """One accepted connection: what arrived, and what the test answers."""

    def __init__(self):
        self.server = socket.socket()
        self.server.bind(("127.0.0.1", 0))
        self.server.listen(1)
        self.port = self.server.getsockname()[1]
        self.received = b""
        self.answer = b""
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        conn, _ = self.server.accept()
        if self.answer:
            conn.sendall(self.answer)
        conn.settimeout(5)
        try:
            while True:
                data = conn.recv(65536)
                if not data:
                    break
                self.received += data
        except socket.timeout:
            pass
        conn.close()
        self.server.close()


def run(desktop, script):
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "data"), "wb") as f:
            f.write(b"\r\x00payload")
        code = oldapp.run(folder, desktop.port, [line.replace("{dir}", folder) for line in script])
        desktop.thread.join(10)
        return code


class OldAppTest(unittest.TestCase):
    def test_ansi_lines_in_their_code_page_and_a_payload(self):
        desktop = Desktop()
        self.assertEqual(run(desktop, ["encoding ansi cp932", "send 'A \\u5f85'", "encoding ansi cp1252",
                                       "sendlines 'B \\xa7' C", "payload {dir}/data 'SNDINT 1 {size} {crc}'"]), 0)
        crc = zlib.crc32(b"\r\x00payload")
        self.assertEqual(desktop.received,
                         b"A \x91\xd2\rB \xa7\rC\rSNDINT 1 9 %d\r\r\x00payload" % crc)

    def test_a_flood_of_numbered_lines_and_the_last_ones_in_one_write(self):
        desktop = Desktop()
        self.assertEqual(run(desktop, ["encoding wide", "flood 3 'W{n} x' 'LAST 1'"]), 0)
        self.assertEqual(desktop.received, "W0 x\rW1 x\rW2 x\rLAST 1\r".encode("utf-16-le"))

    def test_utf16_lines_end_only_on_a_character_boundary(self):
        desktop = Desktop()
        # U+0D00 U+0100 holds the bytes 0D 00 across two characters: no line end.
        desktop.answer = "\u0d00\u0100x\r".encode("utf-16-le") + "next\r".encode("utf-16-le")
        self.assertEqual(run(desktop, ["encoding wide", "expect '\\u0d00\\u0100x'", "expect next",
                                       "split AB 1 3"]), 0)
        self.assertEqual(desktop.received, "AB\r".encode("utf-16-le"))

    def test_a_wrong_line_fails_the_script(self):
        desktop = Desktop()
        desktop.answer = b"GETASE x\r"
        self.assertEqual(run(desktop, ["timeout 2", "expect 'GETASE y'"]), 1)

    def test_bytes_after_a_line(self):
        desktop = Desktop()
        desktop.answer = b"TSKRES 9 3 3 1\rresTSKRES 9\r"
        self.assertEqual(run(desktop, ["expect 'TSKRES 9 3 3 1'", "expectbytes res", "expect 'TSKRES 9'"]), 0)


if __name__ == "__main__":
    unittest.main()
