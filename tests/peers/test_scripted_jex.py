#!/usr/bin/python3
"""Tests of the scripted Jex: its script runner against a desktop played by lumopeer.py's
connecting side, over 127.0.0.1, and its command line."""

import io
import os
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zlib
from contextlib import redirect_stderr

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lumopeer as P  # noqa: E402
import rc2  # noqa: E402
import scripted_jex as J  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def run_jex(script, desktop, expect_push=True, **serve_options):
    """Serves the script in a thread; desktop(link) plays the agent desktop. Returns (code, log, stderr)."""
    ready = threading.Event()
    port = {}
    result = {}
    err = io.StringIO()

    def server():
        with redirect_stderr(err):
            result["code"], result["log"] = J.serve(script, timeout=10,
                                                    on_listening=lambda p: (port.setdefault("p", p), ready.set()),
                                                    **serve_options)

    thread = threading.Thread(target=server)
    thread.start()
    try:
        if not ready.wait(10):
            raise AssertionError("the scripted Jex did not listen")
        with P.PeerLink.connect("127.0.0.1", port["p"]) as link:
            link.handshake_as_connector(expect_push=expect_push)
            desktop(link)
    finally:
        thread.join(30)
    return result["code"], result["log"], err.getvalue()


LOGON_SCRIPT = r"""
handshake
greet 3 5.4.9.6 0.0.0.0 0 - 1907
password CHKPWD 2 s3cret
send CHKPWD 7 0
decrypt ALOGOS 0 1
send ALOGOS 7 Ann Lee 12 Desk\ 12
expect RQASUD 1 7
sendlines STARTD 1\rASUFIN
expectline ALOGON 7 12 3600
send ALOGON 0 a b c
expect ENDINI
"""


class LogonRoad(unittest.TestCase):
    def test_greeting_passwords_account_and_answers(self):
        seen = {}

        def desktop(link):
            seen["greeting"] = link.read_line()
            link.send_line("CHKPWD 1 7 %s" % rc2.encrypt_password("s3cret"))
            seen["chkpwd"] = link.expect("CHKPWD", 2)
            link.send_line("ALOGOS %s %s 3600" % (rc2.encrypt_password("PC-7"), rc2.encrypt_password("S-1-5-21-9")))
            seen["alogos"] = link.expect("ALOGOS", 5)
            link.send_line("RQASUD 1 7")
            seen["startup"] = [link.read_line(), link.read_line()]
            link.send_line("ALOGON 7 12 3600")
            seen["alogon"] = link.expect("ALOGON", 4)
            link.send_line("ENDINI")
            link.expect_closed()

        code, log, err = run_jex(LOGON_SCRIPT, desktop)
        self.assertEqual(code, 0, err)
        self.assertEqual(seen["greeting"], "STARTS 3 5.4.9.6 0.0.0.0 0 - 1907")
        self.assertEqual(seen["chkpwd"], ["7", "0"])
        self.assertEqual(seen["alogos"], ["7", "Ann", "Lee", "12", "Desk 12"])
        self.assertEqual(seen["startup"], ["STARTD 1", "ASUFIN"])
        self.assertEqual(seen["alogon"], ["0", "a", "b", "c"])
        self.assertIn("= CHKPWD s3cret\n", log)
        self.assertIn("= ALOGOS PC-7 S-1-5-21-9\n", log)
        self.assertIn("< ALOGON 7 12 3600\n", log)
        self.assertIn("> ALOGOS 7 Ann Lee 12 Desk\\x0c12\n", log)  # escapes show in the log

    def test_wrong_password_fails_with_the_traffic(self):
        def desktop(link):
            link.read_line()
            link.send_line("CHKPWD 1 7 %s" % rc2.encrypt_password("guess"))
            link.expect_closed()

        code, log, err = run_jex("handshake\ngreet 1 5.4.9.6\npassword CHKPWD 2 s3cret\n", desktop)
        self.assertEqual(code, 1)
        self.assertIn("script line 3", err)
        self.assertIn("'guess', expected 's3cret'", err)
        self.assertIn("traffic:\n", err)
        self.assertIn("> STARTS 1 5.4.9.6\n", err)
        self.assertIn("= CHKPWD guess\n", log)

    def test_letters_that_are_no_cipher_text_fail(self):
        def desktop(link):
            link.read_line()
            link.send_line("ALOGOS PLAIN TEXT 0")
            link.expect_closed()

        code, _, err = run_jex("handshake\ngreet 0 1.0.0.0\ndecrypt ALOGOS 0 1\n", desktop)
        self.assertEqual(code, 1)
        self.assertIn("no letter-pair cipher text", err)

    def test_payload_carries_size_and_crc_and_ttsync_is_behind(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "data.bin")
            data = bytes(range(256)) * 3
            with open(path, "wb") as f:
                f.write(data)
            seen = {}

            def desktop(link):
                seen["line"] = link.expect("UPDTSK", 3)
                seen["data"] = link.read_payload(len(data))
                seen["ttsync"] = link.expect("TTSYNC", 1)

            code, _, err = run_jex("handshake push=0\npayload %s UPDTSK 4 {size} {crc}\nttsync 3600\n" % path,
                                   desktop, expect_push=False)
        self.assertEqual(code, 0, err)
        self.assertEqual(seen["line"], ["4", str(len(data)), str(zlib.crc32(data))])
        self.assertEqual(seen["data"], data)
        m = P.re.fullmatch(P.SYNC_CLOCK_RE, seen["ttsync"][0])
        self.assertTrue(m, seen["ttsync"])
        behind = P._utc_now() - P.datetime.datetime.strptime(seen["ttsync"][0][:19], "%Y-%m-%dT%H:%M:%S")
        self.assertAlmostEqual(behind.total_seconds(), 3600, delta=5)


class RequestChecks(unittest.TestCase):
    def test_ansi_link_payload_and_flood(self):
        data = b"interview\x00data"
        crc = zlib.crc32(data)
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "same.bin")
            with open(path, "wb") as f:
                f.write(data)
            script = ("ansi\ngreet 0 1.0.0.0\nexpectencoding ansi\n"
                      "expectpayload 'SNDINT 4 5 %d %u 1' 2 crc=3 same=%s\nsndintflood 3\n" % (len(data), crc, path))

            def desktop(link):
                self.assertEqual(link.read_line(), "STARTS 0 1.0.0.0")
                link.send_line("SNDINT 4 5 %d %u 1" % (len(data), crc))
                link.send_raw(data)
                for survey, call in ((1, 0), (2, 0), (1, 1)):
                    link.send_line("SNDINT %d %d 2 %u 1" % (survey, call, zlib.crc32(b"ab")))
                    link.send_raw(b"ab")

            code, log, err = run_jex(script, desktop)
        self.assertEqual(code, 0, err)
        self.assertIn("= SNDINT payload %d bytes, CRC-32 %u\n" % (len(data), crc), log)
        self.assertIn("= SNDINT 3 payloads whole and in order\n", log)

    def test_payloadsplit_arrives_in_three_pieces(self):
        data = bytes(range(200))
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "data.bin")
            with open(path, "wb") as f:
                f.write(data)
            seen = {}

            def desktop(link):
                link.read_line()
                seen["fields"] = link.expect("UPDTSK", 5)
                seen["data"] = link.read_payload(len(data))

            code, log, err = run_jex("handshake\ngreet 0 1.0.0.0\npayloadsplit %s UPDTSK 9 1 {size} {crc} 'a b'\n" % path,
                                     desktop)
        self.assertEqual(code, 0, err)
        self.assertEqual(seen["fields"], ["9", "1", "200", str(zlib.crc32(data)), "a b"])
        self.assertEqual(seen["data"], data)
        self.assertIn("(in three writes)", log)

    def test_wrong_crc_order_and_encoding_fail(self):
        # What the desktop sends goes out in one write: the Jex may close as soon as it has seen enough.
        flood = b"".join(("SNDINT 1 %d 1 %u 1\r" % (n, zlib.crc32(b"a"))).encode("utf-16-le") + b"a" for n in (1, 0))
        cases = [
            ("expectencoding ansi\n", lambda link: None, "the desktop writes wide, expected ansi"),
            ("expectpayload 'SNDINT 1 2 2 7 1' 2 crc=3\n",
             lambda link: link.send_raw(link.encode("SNDINT 1 2 2 7 1\r") + b"ab"), "the line says 7"),
            ("sndintflood 2\n", lambda link: link.send_raw(flood), "number 1 came where 0 was due"),
        ]
        for directive, send, message in cases:
            with self.subTest(directive=directive):
                def desktop(link):
                    link.read_line()
                    send(link)
                    link.close()

                code, _, err = run_jex("handshake\ngreet 0 1.0.0.0\n" + directive, desktop)
                self.assertEqual(code, 1)
                self.assertIn(message, err)


class WaitFile(unittest.TestCase):
    def test_jex_goes_on_once_the_test_wrote_the_file_and_fails_without_it(self):
        with tempfile.TemporaryDirectory() as tmp:
            def desktop(link):
                link.read_line()
                deadline = time.monotonic() + 10
                while not os.path.exists(os.path.join(tmp, "ready")) and time.monotonic() < deadline:
                    time.sleep(0.02)
                with self.assertRaises(P.PeerTimeout):
                    link.read_line(0.5)  # Jex holds its line back until the file is there
                with open(os.path.join(tmp, "go"), "w"):
                    pass
                self.assertEqual(link.read_line(), "GO 1")
                link.expect_closed()

            code, _, err = run_jex("handshake\ngreet 0 1.0.0.0\nmark ready\nwaitfile go\nsend GO 1\n", desktop,
                                   log_file=os.path.join(tmp, "log"))
            self.assertEqual(code, 0, err)

            def patient(link):
                link.read_line()
                link.expect_closed()

            code, _, err = run_jex("handshake\ngreet 0 1.0.0.0\ntimeout 0.3\nwaitfile never\n", patient,
                                   log_file=os.path.join(tmp, "log"))
            self.assertEqual(code, 1)
            self.assertIn("the test did not write never within 0.3 s", err)


class CommandLine(unittest.TestCase):
    def test_serve_writes_port_and_log(self):
        with tempfile.TemporaryDirectory() as tmp:
            script, port_file, log_file = (os.path.join(tmp, n) for n in ("script", "port", "log"))
            with open(script, "w") as f:
                f.write("handshake\ngreet 2 5.4.9.6 0.0.0.0\nexpect ALOGON 3 4 -?\\d+\ndrain\n")
            proc = subprocess.Popen([sys.executable, "-B", os.path.join(HERE, "scripted_jex.py"), "serve",
                                     "--port-file", port_file, "--log", log_file, "--script", script],
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            try:
                deadline = time.monotonic() + 10
                while not os.path.exists(port_file) and time.monotonic() < deadline:
                    time.sleep(0.02)
                with open(port_file) as f:
                    port = int(f.read())
                with P.PeerLink.connect("127.0.0.1", port) as link:
                    link.handshake_as_connector()
                    self.assertEqual(link.read_line(), "STARTS 2 5.4.9.6 0.0.0.0")
                    link.send_line("ALOGON 3 4 0")
                    link.send_line("ALOGOF")
                    link.close()
                    out, err = proc.communicate(timeout=20)
            finally:
                if proc.poll() is None:
                    proc.kill()
            self.assertEqual(proc.returncode, 0, err)
            self.assertIn("LISTENING %d" % port, out)
            self.assertNotIn("traffic", err)
            with open(log_file, encoding="utf-8") as f:
                self.assertTrue(f.read().endswith("< ALOGON 3 4 0\n< ALOGOF\n"))


if __name__ == "__main__":
    unittest.main()
