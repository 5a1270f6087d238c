"""What the black-box tests of Lumo.exe and scripts/run share: the seed of a fresh prefix, a Jex of
several links (jex_sessions.py) in a folder of its own, and the main road to a logged-on agent as
that Jex plays it. Stdlib and the peers of tests/ only."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
for folder in (os.path.join(ROOT, "tests", "probe"), os.path.join(ROOT, "tests", "peers")):
    if folder not in sys.path:
        sys.path.insert(0, folder)

from runner import WinePrefix, free_port  # noqa: E402
from updateservice import UpdateServiceStandIn  # noqa: E402


def release_version():
    """The release version the build gives Lumo.exe and LumoClient.ocx: the VERSION file's."""
    with open(os.path.join(ROOT, "VERSION"), encoding="ascii") as f:
        return f.read().strip()


SEED = r"""[HKEY_LOCAL_MACHINE\Software\Quelmoor\LUMO\Settings]
"LatestInstalledSetup"="6.1.0.0"
"""



class LumoProgramTest(unittest.TestCase):
    """A class of black-box tests of Lumo.exe: one fresh prefix seeded with PREFIX_SEED and the
    update service stand-in for the whole class; the prefix is kept, and named, when a test marked
    it failed. self.jex, when a test sets it, is closed after the test."""
    PREFIX_SEED = SEED

    @classmethod
    def setUpClass(cls):
        cls.prefix = WinePrefix()
        try:
            cls.prefix.import_reg(cls.PREFIX_SEED)
            cls.update_service = UpdateServiceStandIn()
        except BaseException:
            cls.prefix.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.update_service.stop()
        cls.prefix.close()
        if cls.prefix.failed:
            print("prefix kept: " + cls.prefix.path, file=sys.stderr)

    def setUp(self):
        self.jex = None

    def tearDown(self):
        if self.jex:
            self.jex.close()

class JexSessions:
    """jex_sessions.py in a folder of its own: a Jex that takes several links in turn."""

    def __init__(self, links, wait, scripts):
        self.folder = tempfile.mkdtemp(prefix="lumo-jex-")
        paths = []
        for i, script in enumerate(scripts):
            paths.append(os.path.join(self.folder, "script%d" % i))
            with open(paths[-1], "w", encoding="utf-8") as f:
                f.write(script + "\n")
        self.proc = subprocess.Popen([sys.executable, os.path.join(ROOT, "tests", "peers", "jex_sessions.py"), self.folder,
                                      str(links), str(wait)] + paths, stdin=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while not os.path.exists(os.path.join(self.folder, "port")):
            if time.monotonic() > deadline:
                raise RuntimeError("the Jex did not start")
            time.sleep(0.02)
        with open(os.path.join(self.folder, "port")) as f:
            self.port = int(f.read())

    def events(self, kind=None):
        """(kind, link, detail) in order."""
        path = os.path.join(self.folder, "events")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8") as f:
            parsed = [line.split(" ", 2) for line in f.read().splitlines()]
        return [(k, int(n), d) for k, n, d in parsed if kind in (None, k)]

    def wait_for(self, kind, n, timeout):
        deadline = time.monotonic() + timeout
        while len(self.events(kind)) < n:
            if time.monotonic() > deadline:
                raise AssertionError("no %d %s events: %s" % (n, kind, self.events()))
            time.sleep(0.05)

    def received(self, link):
        """What Lumo sent on the link after the handshake."""
        path = os.path.join(self.folder, "traffic%d" % link)
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8") as f:
            return [e[2:] for e in f.read().splitlines()
                    if e.startswith("< ") and not e.startswith(("< CNPROP", "< TTSYNC"))]

    def finish(self, timeout=60):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()  # ours: started above
            self.proc.wait()
            return -1

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        shutil.rmtree(self.folder, ignore_errors=True)



def listening(port):
    """The local addresses that listen on the TCP port, as ss shows them."""
    out = subprocess.run(["ss", "-ltnH"], capture_output=True, text=True, check=True).stdout
    return sorted(fields[3].rsplit(":", 1)[0] for fields in (line.split() for line in out.splitlines())
                  if len(fields) > 3 and fields[3].rsplit(":", 1)[1] == str(port))


def two_free_ports():
    while True:
        first, second = free_port(), free_port()
        if first != second:
            return first, second


AGENTS = ('Count = "2" ID0 = "13" LN0 = "Adams" FN0 = "Al" UN0 = "aadams" '
          'ID1 = "12" LN1 = "Doe" FN1 = "Jane" UN1 = "jdoe"')


def opening(version, flags=0):
    """Jex's side up to the agent list: the handshake, the clock, the greeting with the link's flags
    (odd: passwords are required) and the list of agents 13 Al Adams and 12 Jane Doe."""
    return [
        "handshake",
        "ttsync 0",
        "greet %d %s 0.0.0.0 0 -" % (flags, version),
        "expectline LSTAGT -1 -1 0",
        "send LSTAGT -1 -1 0 '%s'" % AGENTS,
    ]


def main_road(version):
    """Jex's side of the road: agent 12 logs on at location 7, no password."""
    return "\n".join(opening(version) + [
        "expectline RQASUD 1 12",
        "send SETPER 784",
        "send ASUFIN",
        # The UTC offset carries the server clock's correction, which a clock push gives to within a second.
        "expect ALOGON 12 7 -?[01]",
        "send ALOGON 0 7 jdoe Desk7",
        "send ASUFIN",
        "expectline RQASUD 1 12",
        "expectline ENDINI",
        "drain",
    ])


# What Lumo sends on the road, in order, past the handshake and the clock.
ROAD_LINES = ["LSTAGT -1 -1 0", "RQASUD 1 12", r"ALOGON 12 7 -?[01]", "RQASUD 1 12", "ENDINI"]


def live_lines(jex, link=0):
    """What Lumo has sent so far on the link, without the handshake, the clock and heartbeats."""
    return [line[2:] for line in live_traffic(jex, link) if line.startswith("< ")
            and not line.startswith(("< CNPROP", "< TTSYNC", "< HEARTB", "< CURTIM"))]


def live_traffic(jex, link=0):
    """The scripted Jex's traffic log of the link so far ("< " Lumo sent, "> " Jex sent)."""
    # The traffic file is written when the link ends; until then the live file tells the state.
    path = os.path.join(jex.folder, "live%d" % link)
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8") as f:
        return f.read().splitlines()


def received_in_order(jex, patterns):
    """Whether Lumo's lines so far begin with lines matching the patterns, in order."""
    seen = live_lines(jex)
    return len(seen) >= len(patterns) and all(re.fullmatch(p, line) for p, line in zip(patterns, seen))


def wait_until(condition, timeout, step=0.1):
    """Polls the condition until it holds or the bound passes; whether it held."""
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(step)
    return True
