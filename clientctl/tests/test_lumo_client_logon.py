"""LumoClient.ocx as BrennClient registers with Lumo.exe itself: Lumo runs the log-on road of
desktop/tests/test_lumo_logon.py (a Wine prefix of its own, the UI probe, the scripted Jex and the
update service stand-in), and once agent 12 is logged on the C++ client program
(LumoClientOnLumo.cpp) connects to Lumo's application port in the same prefix.
Arguments: UiProbe.exe, Lumo.exe, the client program (Unix paths)."""
import os
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "desktop", "tests"))

import test_lumo_logon as logon  # noqa: E402  (reads the first two arguments)
from lumo_road import release_version  # noqa: E402

CLIENT_EXE = sys.argv[3]


class LumoClientOnLumoTest(logon.LumoLogonTest):
    def test_client_registers_with_the_logged_on_lumo(self):
        self.assertEqual(self.version, release_version(), "Lumo.exe carries the VERSION file's version")

        def check(probe, pa, po):
            output = self.prefix.file("client.txt")
            with open(output, "w") as out:
                # No pipes: Wine's helper processes would hold them open past the program.
                code = subprocess.run([logon.WINE, CLIENT_EXE], stdin=subprocess.DEVNULL, stdout=out,
                                      stderr=subprocess.STDOUT, timeout=120, check=False,
                                      env=dict(self.prefix.env, LUMO_TEST_APP_PORT=str(pa),
                                               LUMO_TEST_LUMO_VERSION=self.version)).returncode
            with open(output, encoding="utf-8", errors="replace") as f:
                text = f.read()
            self.assertIn("[  PASSED  ] 1 test", text, text)
            self.assertNotIn("FAILED", text, text)
            self.assertEqual(code, 0, text)

        # Past the road, BrennClient's request for the locations is Jex's cue: the road's permissions
        # (bits 4, 8 and 9) and bit 5 (full screen), not bit 6 (hide Lumo); then the agent is ready.
        road = logon.main_road(self.version).splitlines()
        self.assertEqual(road[-1], "drain")
        script = road[:-1] + [r"expect LSTLOC \d+ 0", "send SETPER 816",
                              "sendraw AGSTAT 1 Ready", "drain"]

        def road_check(probe, pa, po):
            with self.assertRaises(logon.ProbeError):
                probe.ask("box")
            check(probe, pa, po)

        self.run_lumo(script, "", logon.ROAD_LINES, road_check)


if __name__ == "__main__":
    # Only this road: the log-on road's own cases are its suite's.
    unittest.main(argv=sys.argv[:1], defaultTest="LumoClientOnLumoTest.test_client_registers_with_the_logged_on_lumo")
