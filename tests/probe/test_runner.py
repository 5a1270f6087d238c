"""The prefixes of runner.py: copies of scripts/test's template prefix, each with a server of its own.
Needs LUMO_TEMPLATE_PREFIX (scripts/test exports it); skipped without a template."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from runner import SERVER_FOLDER_FILE, WinePrefix  # noqa: E402

TEMPLATE = os.environ.get("LUMO_TEMPLATE_PREFIX", "")


def server_folder_name(prefix_path):
    with open(os.path.join(prefix_path, SERVER_FOLDER_FILE), encoding="ascii") as f:
        return f.read().strip()


@unittest.skipUnless(TEMPLATE and os.path.isfile(os.path.join(TEMPLATE, "system.reg")), "no template prefix")
class ClonedPrefixTest(unittest.TestCase):
    def test_each_copy_has_a_server_folder_of_its_own_and_removes_it(self):
        # Debian's Wine tells servers apart below one folder by their prefix folder's inode only; a
        # copy that shared the template's folder could meet the server of a removed prefix whose
        # inode its own folder reused.
        if not os.path.isfile(os.path.join(TEMPLATE, SERVER_FOLDER_FILE)):
            self.skipTest("this Wine keeps no server folder file")
        template_folder = server_folder_name(TEMPLATE)
        first, second = WinePrefix(), WinePrefix()
        try:
            names = [server_folder_name(p.path) for p in (first, second)]
            self.assertNotIn(template_folder, names, "a copy uses the template's server folder")
            self.assertNotEqual(names[0], names[1], "two copies share a server folder")
            folders = [p.server_folder() for p in (first, second)]
            self.assertTrue(all(folders), "each server folder exists while its server runs: %r" % folders)
        finally:
            first.close()
            second.close()
        self.assertFalse(any(os.path.exists(f) for f in folders), "closing leaves no server folder behind")


if __name__ == "__main__":
    unittest.main()
