"""The large run of Lumo.exe's fuzz test (desktop/tests/test_lumo_fuzz.py): 10,000 mutated lines to
each application port and 10,000 mutated Jex commands, with a new seed each time. scripts/bench runs
it on a display of its own:

    lumo_fuzz_bench.py UiProbe.exe Lumo.exe

LUMO_FUZZ_COUNT and LUMO_FUZZ_SEED set the count and the seed as they do for the test; the seed of a
run is printed, so that a failed one can be replayed with scripts/test:
LUMO_FUZZ_COUNT=10000 LUMO_FUZZ_SEED=N scripts/test -R desktop_fuzz -V.

Lumo listens on the update service's fixed port, so the run takes that port's machine-wide lock, as
GUI tests outside scripts/test's slots do; it waits for it up to 5 minutes. Exit code: the test's
(0 when every batch passed), 2 when the lock stayed taken."""
import fcntl
import os
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
TEST = os.path.join(ROOT, "desktop", "tests", "test_lumo_fuzz.py")
PORT_LOCK = "/tmp/lumo-port1919.lock"
LOCK_WAIT = 300


def take_port_lock():
    """The open lock file, held; None after LOCK_WAIT seconds."""
    lock = open(PORT_LOCK, "a")
    deadline = time.monotonic() + LOCK_WAIT
    while True:
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            return lock
        except BlockingIOError:
            if time.monotonic() > deadline:
                lock.close()
                return None
            time.sleep(1)


def main():
    probe_exe, lumo_exe = (os.path.abspath(p) for p in sys.argv[1:3])
    env = dict(os.environ)
    env.setdefault("LUMO_FUZZ_COUNT", "10000")
    env.setdefault("LUMO_FUZZ_SEED", "random")
    # The prefix scripts/test makes once for all checkouts: a copy of it starts as fast as in the suite,
    # where a prefix booted here would still be settling while Lumo logs on.
    template = os.path.join(os.environ.get("LUMO_CACHE", ""), "wineprefix-template")
    if os.path.isfile(os.path.join(template, "system.reg")):
        env.setdefault("LUMO_TEMPLATE_PREFIX", template)
    lock = take_port_lock()
    if lock is None:
        print("fuzz: the update service's port stayed locked for %d s; nothing ran" % LOCK_WAIT)
        return 2
    with lock:
        return subprocess.call([sys.executable, TEST, probe_exe, lumo_exe], env=env, stdin=subprocess.DEVNULL)


if __name__ == "__main__":
    sys.exit(main())
