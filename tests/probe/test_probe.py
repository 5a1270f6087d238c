"""The probe against its fixture program: boxes, list views and short-lived windows of another
process. Arguments: scripts/wine-run, UiProbe.exe, ProbeFixture.exe (a Unix path)."""
import os
import struct
import sys
import tempfile
import time
import unittest
import zlib

from probe import Probe, unescape, wine_path

WINE_RUN, PROBE_EXE, FIXTURE_EXE = sys.argv[1:4]


class ProbeTest(unittest.TestCase):
    def test_reads_and_answers_another_process(self):
        log = []
        probe = Probe(WINE_RUN, PROBE_EXE, log)
        try:
            probe.ask("watch on")
            probe.ask("start " + wine_path(FIXTURE_EXE))
            window = probe.until("dialog 1001")
            self.assertEqual(probe.ask("lvcell %s 1001 1 0" % window), "beta")
            self.assertEqual(probe.ask("lvcell %s 1001 0 1" % window), "1")
            self.assertEqual(probe.ask("lvwidth %s 1001 1" % window), "75")

            deadline = time.monotonic() + 20
            while not any(" ProbeFlash " in e for e in probe.events) and time.monotonic() < deadline:
                time.sleep(0.05)
            self.assertTrue(any(" ProbeFlash " in e for e in probe.events), "the 100 ms window was missed")
            flash = [e for e in probe.events if " ProbeFlash " in e][0]
            self.assertEqual(flash.split(" ", 4)[4], "Flash")

            box, text = probe.until("box").split(" ", 1)
            self.assertEqual(unescape(text), "Keep the fixture?")
            probe.ask("click %s %d" % (box, 6))  # IDYES
            self.assertEqual(probe.ask("wait 10000"), "exited 6")
        except Exception:
            print("\n".join(log), file=sys.stderr)
            raise
        finally:
            self.assertEqual(probe.close(), 0)

    def test_ends_what_it_started(self):
        probe = Probe(WINE_RUN, PROBE_EXE)
        probe.ask("start " + wine_path(FIXTURE_EXE))
        probe.until("dialog 1001")
        probe.ask("end")
        self.assertEqual(probe.ask("wait 0"), "exited 1")
        with self.assertRaises(Exception):
            probe.ask("dialog 1001")
        self.assertEqual(probe.close(), 0)

    def test_reads_versions_and_saves_the_screen(self):
        probe = Probe(WINE_RUN, PROBE_EXE)
        try:
            self.assertEqual(probe.ask("version " + wine_path(FIXTURE_EXE)), "3.1.4.15")
            with self.assertRaises(Exception):
                probe.ask("version " + wine_path(FIXTURE_EXE + ".missing"))
            with tempfile.TemporaryDirectory() as folder:
                png = os.path.join(folder, "screen.png")
                width, height = probe.save_screen(png)
                with open(png, "rb") as f:
                    data = f.read()
                self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n")
                self.assertEqual(struct.unpack(">II", data[16:24]), (width, height))
                idat = data.index(b"IDAT")
                size = struct.unpack(">I", data[idat - 4:idat])[0]
                self.assertEqual(len(zlib.decompress(data[idat + 4:idat + 4 + size])), height * (1 + width * 3))
        finally:
            self.assertEqual(probe.close(), 0)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
