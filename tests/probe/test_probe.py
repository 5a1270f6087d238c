"""The probe against its fixture program: boxes, list views and short-lived windows of another
process. Arguments: scripts/wine-run, UiProbe.exe, ProbeFixture.exe (a Unix path)."""
import sys
import time
import unittest

from probe import Probe, unescape

WINE_RUN, PROBE_EXE, FIXTURE_EXE = sys.argv[1:4]


class ProbeTest(unittest.TestCase):
    def test_reads_and_answers_another_process(self):
        log = []
        probe = Probe(WINE_RUN, PROBE_EXE, log)
        try:
            probe.ask("watch on")
            probe.ask("start Z:" + FIXTURE_EXE.replace("/", "\\"))
            window = probe.until("dialog 1001")
            self.assertEqual(probe.ask("lvcell %s 1001 1 0" % window), "beta")
            self.assertEqual(probe.ask("lvcell %s 1001 0 1" % window), "1")
            self.assertEqual(probe.ask("lvwidth %s 1001 1" % window), "75")

            deadline = time.monotonic() + 20
            while not any(" ProbeFlash " in e for e in probe.events) and time.monotonic() < deadline:
                time.sleep(0.05)
            self.assertTrue(any(" ProbeFlash " in e for e in probe.events), "the 100 ms window was missed")

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
        probe.ask("start Z:" + FIXTURE_EXE.replace("/", "\\"))
        probe.until("dialog 1001")
        probe.ask("end")
        self.assertEqual(probe.ask("wait 0"), "exited 1")
        with self.assertRaises(Exception):
            probe.ask("dialog 1001")
        self.assertEqual(probe.close(), 0)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
