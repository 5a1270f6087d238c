"""Lumo.exe as a black box in a fresh Wine prefix, driven by the UI probe.
Arguments: UiProbe.exe, Lumo.exe (Unix paths)."""
import os
import socket
import sys
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path[:0] = [os.path.join(ROOT, "tests", "probe"), os.path.join(ROOT, "tests", "peers")]

from probe import Probe, unescape, wine_path  # noqa: E402
from runner import WINE, free_port  # noqa: E402
from lumo_road import LumoProgramTest  # noqa: E402

PROBE_EXE, LUMO_EXE = sys.argv[1:3]

SEED = r"""[HKEY_CURRENT_USER\Software\Quelmoor\LUMO\Settings]
"RemotePort"=dword:000004d2

[HKEY_LOCAL_MACHINE\Software\Quelmoor\LUMO\Settings]
"LatestInstalledSetup"="6.1.0.0"
"""


class LumoFirstRunTest(LumoProgramTest):
    PREFIX_SEED = SEED

    def run_lumo(self, arguments, check):
        """Starts Lumo under the probe and hands both to check; on failure keeps the evidence."""
        log = []
        probe = Probe(WINE, PROBE_EXE, log, env=self.prefix.env)
        try:
            probe.ask("watch on")
            probe.ask("start \"%s\" %s" % (wine_path(LUMO_EXE), arguments))
            check(probe)
        except BaseException:
            type(self).prefix.failed = True
            try:
                print("exit: " + probe.ask("wait 0"), file=sys.stderr)
                probe.save_screen(self.prefix.file("failure.png"))
            except Exception as e:  # the evidence is a help, not the result
                print("no screenshot: %s" % e, file=sys.stderr)
            with open(self.prefix.file("probe.log"), "w", encoding="utf-8") as f:
                f.write("\n".join(log))
            print("\n".join(log), file=sys.stderr)
            raise
        finally:
            self.assertEqual(probe.close(), 0)

    def answer_box(self, probe, expected_text):
        box, text = probe.until("box").split(" ", 1)
        self.assertEqual(unescape(text), expected_text)
        probe.ask("click %s 1" % box)  # IDOK
        self.assertEqual(probe.ask("wait 20000"), "exited 0")

    def test_1_without_host_stores_the_defaults_and_stops(self):
        def check(probe):
            self.answer_box(probe, "Unable to locate remote host (check registry)")
            settings = self.prefix.export(r"HKEY_CURRENT_USER\Software\Quelmoor\LUMO").get(
                r"HKEY_CURRENT_USER\Software\Quelmoor\LUMO\Settings")
            self.assertEqual(settings, {
                "RemotePort": 1234, "RemotePortNr": 1234, "UseAuthentication": 0, "ApplicationPort": 905,
                "AppPort": 1905, "Location": 0, "StatisticsView": 1, "ExtendedView": 1, "CallInfoWindow": 1,
                "RemoteHost": "", "AgentMonitorPath": "", "BrennPath": "", "QuillanPath": "",
            })
            self.assertEqual(self.update_service.connections(), [])

        self.run_lumo("", check)

    def test_2_usage_connects_nowhere(self):
        port = free_port()
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as jex:
            jex.bind(("127.0.0.1", port))
            jex.listen(4)
            def check(probe):
                self.answer_box(probe, usage)
                jex.settimeout(0.2)
                with self.assertRaises(socket.timeout):
                    jex.accept()
                self.assertEqual(self.update_service.connections(), [])

            usage = (wine_path(LUMO_EXE) + "\n\t[-jex:<Hostname or IP Address>:<Port>]\n\t[-agent|-user:<Agent "
                "Name>]\n\t[-agentId|-uid|-aid:<Agent ID>]\n\t[-password|-pwd:<Password>]\n\t[-locationid|-lid:"
                "<Location ID>]\n\t[-standalone:<Equivalent Setup Version>]\n\t[-oldappport:<Old Application "
                "Port>]\n\t[-appport:<Application Port>]\n\t[-brennclient:<exe to brennclient.exe>[*<parameters>]]"
                "\n\t[-quillan:<exe to quillan.exe>[*<parameters>]]\n\t[-agentmonitor:<exe agentmonitor>\n\t"
                "[-hide]")
            self.run_lumo("-jex:127.0.0.1:%d -?" % port, check)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
