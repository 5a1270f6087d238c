"""Runs a Windows program under test in a Wine prefix of its own.

Stdlib only. A prefix is made fresh for a suite (Mono and Gecko off, its wineserver started
first), seeded by one .reg import, and removed afterwards; after a failure it is kept for a
look, with the probe's log and a screenshot in it. It ends only what it started: its own
processes by id and its own prefix's wineserver.
"""
import fcntl
import os
import shutil
import socket
import subprocess
import tempfile

WINE = os.environ.get("LUMO_WINE", "wine64")
WINESERVER = os.environ.get("LUMO_WINESERVER", "wineserver")


def free_port():
    """A loopback port free at the time of asking."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def parse_reg_export(text):
    """Values of a regedit export: {key: {name: value}}, dwords as ints, texts as str."""
    keys, current = {}, None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1], {})
        elif current is not None and line.startswith('"') and "=" in line:
            name, value = line.split("=", 1)
            name = name[1:-1]
            if value.startswith("dword:"):
                current[name] = int(value[6:], 16)
            elif value.startswith('"'):
                current[name] = value[1:-1].replace('\\"', '"').replace("\\\\", "\\")
            else:
                current[name] = value
    return keys


# Wine's own DLLs, nearly all of a prefix: nothing writes them once wineboot is done, so a copy of a
# prefix links them instead of copying 700 MB.
SHARED_PREFIX_DIRS = ("drive_c/windows/system32", "drive_c/windows/syswow64", "drive_c/windows/winsxs")
# Debian's Wine keeps the name of a prefix's server folder (/tmp/wine-XXXXXX, made once) in this file
# and finds the server below it by the prefix folder's device and inode. Copied along, every copy
# would share the template's folder, and a new prefix whose folder reuses the inode of a removed one
# whose server still runs would meet that foreign server: wineserver -p leaves it, wineboot returns
# at once, and the next program fails against it. A copy without the file gets a folder of its own.
SERVER_FOLDER_FILE = "wineserver"


def clone_prefix(template, path):
    """Copies the booted template prefix of scripts/test into the empty folder path: wineboot, which
    takes a suite half a minute, then only starts the services. False where the copy failed."""
    try:
        with open(template + ".lock", "a") as lock:
            fcntl.flock(lock, fcntl.LOCK_SH)
            shutil.rmtree(path)
            shutil.copytree(template, path, symlinks=True, ignore=lambda folder, names: [
                n for n in names
                if os.path.relpath(os.path.join(folder, n), template) in SHARED_PREFIX_DIRS + (SERVER_FOLDER_FILE,)])
            for d in SHARED_PREFIX_DIRS:
                if os.path.isdir(os.path.join(template, d)):
                    shutil.copytree(os.path.join(template, d), os.path.join(path, d), symlinks=True,
                                    copy_function=os.link)
        return True
    except OSError:
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path, exist_ok=True)
        return False


class WinePrefix:
    def __init__(self):
        self.path = tempfile.mkdtemp(prefix="lumo-prefix-")
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEARCH="win64", WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", TZ="UTC", LANG="C.UTF-8", LC_ALL="C.UTF-8")
        self.failed = False
        try:
            template = os.environ.get("LUMO_TEMPLATE_PREFIX", "")
            cloned = bool(template) and os.path.isfile(os.path.join(template, "system.reg")) and \
                clone_prefix(template, self.path)
            self._run([WINESERVER, "-p"])
            self.boot_code = self._run([WINE, "wineboot"] + ([] if cloned else ["-i"]), timeout=300).returncode
        except BaseException:
            self.failed = True
            self.close()
            raise

    def _run(self, command, timeout=120):
        # No pipes: Wine's helper processes inherit them and would hold them open past the command.
        return subprocess.run(command, env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=timeout, check=False)

    def file(self, name):
        return os.path.join(self.path, name)

    def import_reg(self, text):
        """Seeds the registry from the text of a REGEDIT4 file."""
        path = self.file("seed.reg")
        with open(path, "w", encoding="ascii", newline="\r\n") as f:
            f.write("REGEDIT4\n\n" + text)
        code = self._run([WINE, "regedit", "/S", "Z:" + path.replace("/", "\\")]).returncode
        if code != 0:
            raise RuntimeError(f"regedit refused the seed (exit code {code}; wineboot's was {self.boot_code})")

    def export(self, key):
        """The values under the key and its subkeys, as parse_reg_export gives them."""
        path = self.file("export.reg")
        if os.path.exists(path):
            os.remove(path)
        self._run([WINE, "regedit", "/E", "Z:" + path.replace("/", "\\"), key])
        if not os.path.exists(path):
            return {}
        with open(path, "rb") as f:
            data = f.read()
        text = data.decode("utf-16") if data[:2] == b"\xff\xfe" else data.decode("latin-1")
        return parse_reg_export(text)

    def server_folder(self):
        """The folder of this prefix's server (Debian's Wine); None where Wine keeps none."""
        try:
            with open(self.file(SERVER_FOLDER_FILE), encoding="ascii") as f:
                name = f.read().strip()
        except (OSError, UnicodeDecodeError):
            return None
        folder = os.path.join(self.env.get("TMPDIR") or "/tmp", name)
        return folder if name.startswith("wine-") and "/" not in name and os.path.isdir(folder) else None

    def close(self):
        """Ends this prefix's wineserver and removes what it left in its server folder (the folder
        too, once empty); removes the prefix unless a test failed."""
        self._run([WINESERVER, "-k"])
        self._run([WINESERVER, "-w"])
        folder = self.server_folder()
        if folder:
            # Only this prefix's own entry: a prefix made by an older copy still shares its folder.
            info = os.stat(self.path)
            shutil.rmtree(os.path.join(folder, "server-%x-%x" % (info.st_dev, info.st_ino)), ignore_errors=True)
            try:
                os.rmdir(folder)
            except OSError:
                pass
        if not self.failed:
            shutil.rmtree(self.path, ignore_errors=True)
