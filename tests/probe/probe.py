"""Driver of the UI probe: starts UiProbe.exe under Wine and talks to it a line at a time.

Stdlib only. Answers are "ok ..." or "err ..."; watch-mode events ("event ...") are collected
on the side, so a command's answer is always the next non-event line.
"""
import queue
import struct
import subprocess
import threading
import time
import zlib


class ProbeError(Exception):
    pass


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append({"\\": "\\", "r": "\r", "n": "\n", "t": "\t"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def raw_to_png(raw_path, png_path):
    """Turns the probe's screen file ("w h" line, BGRA rows) into an RGB PNG."""
    with open(raw_path, "rb") as f:
        data = f.read()
    header, pixels = data.split(b"\n", 1)
    width, height = (int(v) for v in header.split())
    rows = []
    for y in range(height):
        row = pixels[y * width * 4:(y + 1) * width * 4]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::4], row[1::4], row[0::4]
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    with open(png_path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(b"".join(rows))))
        f.write(chunk(b"IEND", b""))
    return width, height


def wine_path(unix_path):
    return "Z:" + unix_path.replace("/", "\\")


class Probe:
    def __init__(self, wine_run, probe_exe, log=None, env=None):
        self.log = log if log is not None else []
        self.events = []
        self._answers = queue.Queue()
        self._proc = subprocess.Popen([wine_run, probe_exe], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                      stderr=subprocess.DEVNULL, env=env)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        for raw in self._proc.stdout:
            line = raw.decode("utf-8", "replace").rstrip("\r\n")
            self.log.append("< " + line)
            if line.startswith("event "):
                self.events.append(line.split(" ", 1)[1])
            else:
                self._answers.put(line)
        self._answers.put(None)

    def ask(self, command, timeout=30):
        self.log.append("> " + command)
        self._proc.stdin.write((command + "\n").encode("utf-8"))
        self._proc.stdin.flush()
        try:
            answer = self._answers.get(timeout=timeout)
        except queue.Empty:
            raise ProbeError("no answer to " + command)
        if answer is None:
            raise ProbeError("the probe ended during " + command)
        if not answer.startswith("ok"):
            raise ProbeError(command + ": " + answer)
        return answer[3:]

    def until(self, command, timeout=20):
        """Repeats a command every 50 ms until it answers ok, within the bound."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                return self.ask(command)
            except ProbeError:
                if time.monotonic() >= deadline:
                    raise
            time.sleep(0.05)

    def save_screen(self, png_path):
        raw_path = png_path + ".raw"
        self.ask("screen " + wine_path(raw_path))
        try:
            return raw_to_png(raw_path, png_path)
        finally:
            import os
            os.remove(raw_path)

    def close(self, timeout=30):
        """Ends the probe, which ends the program it started; its exit code."""
        try:
            self._proc.stdin.write(b"quit\n")
            self._proc.stdin.flush()
        except OSError:
            pass
        try:
            return self._proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self._proc.kill()  # ours: started by this object
            return self._proc.wait()
