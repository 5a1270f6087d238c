#!/usr/bin/python3
"""Tests of the scripted Jex's data link and bulk directives (update, upload): a desktop played by
lumopeer.py's connecting side, over 127.0.0.1."""

import io
import os
import random
import sys
import tempfile
import unittest
import zipfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lumopeer as P  # noqa: E402
import test_scripted_jex as T  # noqa: E402


def zipped(data):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
        archive.writestr("data", data)
    return out.getvalue()


def run_jex(script, desktop, data_script=None, log_dir=None):
    """As test_scripted_jex.run_jex, with a data script and the logs (and uploads) in log_dir."""
    return T.run_jex(script, desktop, data_script=data_script,
                     log_file=os.path.join(log_dir, "traffic") if log_dir else None,
                     data_log_file=os.path.join(log_dir, "datatraffic") if log_dir else None)


class DataLink(unittest.TestCase):
    def test_greeting_names_the_data_port_and_its_script_runs_there(self):
        with tempfile.TemporaryDirectory() as tmp:
            seen = {}

            def desktop(link):
                greeting = link.read_line()
                seen["greeting"] = greeting
                with P.PeerLink.connect("127.0.0.1", int(greeting.split()[-1])) as data:
                    data.handshake_as_connector()
                    seen["starts"] = data.read_line()
                    data.send_line("ALGDAT 7")
                    seen["algdat"] = data.read_line()
                    data.send_line("SNDLOG phone.log %d" % len(archive))
                    data.send_raw(archive)
                    data.expect_closed()
                link.send_line("ALOGON 7 3 0")

            archive = zipped(b"line one\r\nline two\r\n")
            code, log, err = run_jex("handshake\ngreet 1 5.4.9.6 0.0.0.0 0 - {dataport}\nexpect ALOGON .*\n",
                                     desktop, "handshake\nsend STARTS x\nexpectline ALGDAT 7\nsend ALGDAT 0\n"
                                     "upload SNDLOG 1 - phone.log\n", tmp)
            self.assertEqual(code, 0, err)
            self.assertEqual(seen["starts"], "STARTS x")
            self.assertEqual(seen["algdat"], "ALGDAT 0")
            with open(os.path.join(tmp, "phone.log"), "rb") as f:
                self.assertEqual(f.read(), b"line one\r\nline two\r\n")
            with open(os.path.join(tmp, "datatraffic"), encoding="utf-8") as f:
                self.assertIn("= SNDLOG unzipped 20 bytes\n", f.read())

    def test_a_data_link_that_never_comes_fails_the_run(self):
        code, _, err = run_jex("handshake\ngreet 1 5.4.9.6 0.0.0.0 0 - {dataport}\n", lambda link: link.read_line(),
                               "handshake\n")
        self.assertEqual(code, 1)
        self.assertIn("data link:", err)


class Uploads(unittest.TestCase):
    def test_upload_checks_crc_and_archive(self):
        archive = zipped(b"recording")
        crc = zlib.crc32(archive)
        cases = [("SNDSRE 1 2 r.wav t %d %d" % (len(archive), crc), archive, 0, "matching CRC-32"),
                 ("SNDSRE 1 2 r.wav t %d %d" % (len(archive), crc ^ 1), archive, 1, "CRC-32 differs"),
                 ("SNDSRE 1 2 r.wav t 9 0", b"not a zip", 1, "no zip archive")]
        for line, payload, expected, why in cases:
            with self.subTest(why), tempfile.TemporaryDirectory() as tmp:
                def desktop(link):
                    link.read_line()
                    link.send_line(line)
                    link.send_raw(payload)
                    try:
                        link.expect_closed()
                    except P.PeerError:
                        pass

                code, _, err = run_jex("handshake\ngreet 1 5.4.9.6\nupload SNDSRE 4 5 rec\n", desktop,
                                       log_dir=tmp)
                self.assertEqual(code, expected, err)

    def test_update_sends_line_program_and_trailer_in_one_write(self):
        seen = {}

        def desktop(link):
            seen["line"] = link.expect("UPDATE", 2)
            seen["program"] = link.read_payload(5000)
            seen["after"] = [link.read_line(), link.read_line()]

        code, log, err = run_jex("handshake\nupdate 5000 7 'a b' 'HEARTB 1 x' ASUFIN\n", desktop)
        self.assertEqual(code, 0, err)
        program = random.Random(7).randbytes(5000)
        self.assertEqual(seen["line"], ["a b", "5000"])
        self.assertEqual(seen["program"], program)
        self.assertEqual(seen["after"], ["HEARTB 1 x", "ASUFIN"])
        self.assertIn("= UPDATE 5000 %u\n" % zlib.crc32(program), log)


if __name__ == "__main__":
    unittest.main()
