#!/usr/bin/python3
"""Checks the scripted Lumo against lumopeer's connecting side: greeting, captured ids, pushes,
payloads with their length and CRC-32 in pieces, the call-history archive and the exit codes."""

import os
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import lumopeer as lp  # noqa: E402
import rc2  # noqa: E402
import scripted_lumo as sl  # noqa: E402


class ScriptRun:
    """scripted_lumo.py in a process of its own, with a script and a folder."""

    def __init__(self, script):
        self.dir = tempfile.TemporaryDirectory()
        path = os.path.join(self.dir.name, "script")
        with open(path, "w", encoding="utf-8") as f:
            f.write(script)
        if script:
            self.start()

    def start(self):
        path = os.path.join(self.dir.name, "script")
        self.proc = subprocess.Popen([sys.executable, "-B", os.path.join(HERE, "scripted_lumo.py"), self.dir.name, path],
                                     stderr=subprocess.PIPE, text=True)

    def port(self):
        path = os.path.join(self.dir.name, "port")
        deadline = time.monotonic() + 10
        while not os.path.exists(path):
            if time.monotonic() > deadline:
                raise AssertionError("no port file")
            time.sleep(0.01)
        with open(path) as f:
            return int(f.read())

    def finish(self):
        _, err = self.proc.communicate(timeout=30)
        self.dir.cleanup()
        return self.proc.returncode, err


class ScriptedLumoTest(unittest.TestCase):
    def connect(self, run):
        link = lp.PeerLink.connect("127.0.0.1", run.port())
        hs = link.handshake_as_connector()
        self.assertTrue(hs.sync_text)
        return link

    def test_greeting_capture_push_and_payload_in_pieces(self):
        run = ScriptRun("accept\nstarts 5.4.9.3\nexpect APLGIN (?P<id>\\d+) 7 1\nline APLGIN {id} -1 1 3\n"
                        "push AGSTAT 'a b'\ndata BIG -1 gen:2500 {crc} pieces=1000 'then=END -1 -1'\nwaitclose\n")
        link = self.connect(run)
        self.assertEqual(link.read_line(), "STARTS 0 -1 5.4.9.3")
        link.send_line("APLGIN 12 7 1")
        self.assertEqual(link.read_line(), "APLGIN 12 -1 1 3")
        self.assertEqual(link.read_line(), "AGSTAT -1 -1 a\x0cb")
        word, params = lp.split_line(link.read_line())
        fields = lp.split_params(params)
        data = link.read_payload(2500)
        self.assertEqual((word, fields[0], fields[1]), ("BIG", "-1", "2500"))
        self.assertEqual(data, sl.pattern_bytes(2500))
        self.assertEqual(int(fields[2]), zlib.crc32(data))
        self.assertEqual(link.read_line(), "END -1 -1")
        link.close()
        self.assertEqual(run.finish()[0], 0)

    def test_passed_lines_marks_files_and_file_payloads(self):
        run = ScriptRun("")
        payload = os.path.join(run.dir.name, "payload.bin")
        with open(payload, "wb") as f:
            f.write(b"\x00survey\xff")
        with open(os.path.join(run.dir.name, "script"), "w", encoding="utf-8") as f:
            f.write("accept\npass INTHBT\nexpect SNDINT (?P<id>\\d+) 12\npass\nmark seen\nwaitfile go 10\n"
                    "data UPDTSK -1 file:%s 12 {crc}\nexpect INTHBT .*\nwaitclose\n" % payload)
        run.start()
        link = self.connect(run)
        link.send_line("INTHBT 3 3456 0;;INTRO")
        link.send_line("INTHBT 4 3456 20;;SEX")
        link.send_line("SNDINT 5 12")
        seen = os.path.join(run.dir.name, "seen")
        deadline = time.monotonic() + 10
        while not os.path.exists(seen):
            self.assertLess(time.monotonic(), deadline, "the mark was not written")
            time.sleep(0.01)
        with open(os.path.join(run.dir.name, "go"), "w") as f:
            f.write("\n")
        word, params = lp.split_line(link.read_line())
        fields = lp.split_params(params)
        self.assertEqual((word, fields[1], fields[2]), ("UPDTSK", "8", "12"))
        data = link.read_payload(8)
        self.assertEqual(data, b"\x00survey\xff")
        self.assertEqual(int(fields[3]), zlib.crc32(data))
        link.send_line("INTHBT 6 3456 60;;COMMENT")  # passing is over: this one is expected
        link.close()
        self.assertEqual(run.finish()[0], 0)

    def test_a_wrong_line_fails_the_script(self):
        run = ScriptRun("accept\nexpect APLGIN 1 7 1\n")
        link = self.connect(run)
        link.send_line("APLGIN 1 8 1")
        code, err = run.finish()
        link.close()
        self.assertEqual(code, 1)
        self.assertIn("script line 2", err)

    def test_answer_payload_and_password(self):
        run = ScriptRun("accept\nstarts\nexpect ALOGON (?P<id>\\d+) 1 ann {pw:se cret}\nanswer ALOGON 'a b'\n"
                        "expect SNDINT \\d+ 3 (?P<crc>\\d+)\npayload 3 crc={crc} hex=010203\n"
                        "expect SNDINT \\d+ 2 0\npayload 2 crc=0\nwaitclose\n")
        link = self.connect(run)
        self.assertEqual(link.read_line(), "STARTS 0 -1")
        link.send_line("ALOGON 4 1 ann " + rc2.encrypt_password("se cret"))
        self.assertEqual(link.read_line(), "ALOGON 4 -1 a\x0cb")
        link.send_payload("SNDINT", ["5", "3", str(zlib.crc32(b"\x01\x02\x03"))], b"\x01\x02\x03")
        link.send_payload("SNDINT", ["6", "2", "0"], b"\x01\x02")
        code, err = run.finish()
        link.close()
        self.assertEqual(code, 1, "a payload whose CRC-32 is not the one named fails the script")
        self.assertIn("script line 8", err)

    def test_call_history_archive(self):
        one = sl.call_record(0)
        self.assertEqual(len(one), 76)  # the number "+41 44 000" as 10 wide characters
        history = sl.call_history(2, count=9)
        self.assertEqual(struct.unpack("<i", history[:4])[0], 9)
        self.assertEqual(history[4:8], struct.pack("<i", 1000))
        self.assertEqual(history[8:12], b"\xff\xfe\xff\x0a")
        self.assertEqual(len(sl.payload_from("calls:3,cut=100")), 100)


if __name__ == "__main__":
    unittest.main()
