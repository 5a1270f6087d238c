#!/usr/bin/python3
"""Tests of the protocol peer itself: its cipher, fields and clock texts, and both of its roles
against each other over 127.0.0.1. The wire checks decode the peer's writes on their own, so a
mistake made the same way on the sending and the receiving side of the peer still shows."""

import datetime
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import threading
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lumopeer as P  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def wide(text):
    return text.encode("utf-16-le")


def run_pair(acceptor_fn, connector_fn, acceptor_kw=None, connector_kw=None):
    """Runs the acceptor in a thread and the connector here; returns both results."""
    result = {}
    with P.Listener() as lst:
        def side():
            try:
                with lst.accept(10, **(acceptor_kw or {})) as link:
                    result["acceptor"] = acceptor_fn(link)
            except BaseException as e:  # handed to the test thread below
                result["error"] = e
        thread = threading.Thread(target=side, daemon=True)
        thread.start()
        with P.PeerLink.connect("127.0.0.1", lst.port, **(connector_kw or {})) as link:
            connector = connector_fn(link)
        thread.join(60)
    if thread.is_alive():
        raise AssertionError("the accepting side did not finish")
    if "error" in result:
        raise result["error"]
    return result["acceptor"], connector


class Rc4Test(unittest.TestCase):
    # RFC 6229 key streams at their published offsets.
    RFC6229 = [
        ("0102030405", 0, "b2396305f03dc027ccc3524a0a1118a8"),
        ("0102030405", 16, "6982944f18fc82d589c403a47a0d0919"),
        ("0102030405060708090a0b0c0d0e0f10", 0, "9ac7cc9a609d1ef7b2932899cde41b97"),
        ("0102030405060708090a0b0c0d0e0f10", 16, "5248c4959014126a6e8a84f11d1a9e1c"),
        ("0102030405060708090a0b0c0d0e0f10", 240, "065902e4b620f6cc36c8589f66432f2b"),
        ("0102030405060708090a0b0c0d0e0f10", 4096, "a36a4c301ae8ac13610ccbc12256cacc"),
    ]

    def test_key_streams_match_rfc6229(self):
        for key, offset, expected in self.RFC6229:
            with self.subTest(key=key, offset=offset):
                stream = P.RC4(bytes.fromhex(key)).keystream(offset + 16)
                self.assertEqual(stream[offset:].hex(), expected)

    def test_classic_cipher_texts(self):
        for key, plain, cipher in [(b"Key", b"Plaintext", "bbf316e8d940af0ad3"),
                                   (b"Wiki", b"pedia", "1021bf0420"),
                                   (b"Secret", b"Attack at dawn", "45a01f645fc35b383552544b9bf5")]:
            with self.subTest(key=key):
                self.assertEqual(P.RC4(key).process(plain).hex(), cipher)

    def test_stream_runs_on_across_calls(self):
        data = bytes(range(256)) * 5
        whole = P.RC4(b"link").process(data)
        rc4 = P.RC4(b"link")
        pieces = b"".join(rc4.process(data[a:b]) for a, b in [(0, 1), (1, 100), (100, 101), (101, 1280)])
        self.assertEqual(pieces, whole, "a stream cut into sends must equal the stream in one piece")

    def test_link_key_is_the_md5_digest_of_the_pass_phrase(self):
        self.assertEqual(P.link_key(), hashlib.md5(b"3teXOnikawubroPle-_h9D+muS6lepiz").digest())
        self.assertEqual(P.known_keystream(4096)[:64], P.RC4(P.link_key()).keystream(64))
        self.assertEqual(len(P.known_keystream()), 4096)


class FieldTest(unittest.TestCase):
    ESCAPES = [("", "\x08", "an empty field is the single 0x08"),
               ("a b", "a\x0cb", "a blank becomes 0x0C"),
               (" ", "\x0c", "a lone blank is one 0x0C, not an empty field"),
               ("a\rb", "a\x07b", "a carriage return becomes 0x07"),
               ("a\nb", "a\nb", "a line feed passes as it is"),
               ("5.4.9.6", "5.4.9.6", "nothing else changes")]

    SPLITS = [("a  b", ["a", "", "b"], "two blanks give an empty field between"),
              ("a ", ["a"], "a trailing blank adds no field"),
              (" a", ["", "a"], "a leading blank gives an empty first field"),
              ("", [], "an empty text has no fields"),
              ("\x08 b", ["\x08", "b"], "splitting leaves the escapes alone")]

    def test_escape_field(self):
        for text, escaped, why in self.ESCAPES:
            with self.subTest(why):
                self.assertEqual(P.escape_field(text), escaped)
                self.assertEqual(P.unescape_field(escaped), text)

    def test_split_params(self):
        for params, fields, why in self.SPLITS:
            with self.subTest(why):
                self.assertEqual(P.split_params(params), fields)

    def test_split_line(self):
        for line, expected in [("CNPROP", ("CNPROP", "")), ("TTSYNC a b", ("TTSYNC", "a b")),
                               (" X", (" X", "")), ("W ", ("W", ""))]:
            with self.subTest(line=line):
                self.assertEqual(P.split_line(line), expected)

    def test_fields_round_trip_through_a_line(self):
        fields = ["", "a b", " ", "x\ry", "", "€é", ""]
        word, params = P.split_line(P.join_fields("SNDMSG", fields))
        self.assertEqual(word, "SNDMSG")
        self.assertEqual([P.unescape_field(f) for f in P.split_params(params)], fields)


class ClockTest(unittest.TestCase):
    AT = datetime.datetime(2020, 1, 22, 9, 30, 7)

    def test_link_clock_text(self):
        for bias, suffix in [(-330, "-05:30"), (300, "+05:00"), (-60, "-01:00"), (0, "+00:00"),
                             (-30, "-00:30"), (570, "+09:30")]:
            with self.subTest(bias=bias):
                text = P.link_clock_text(self.AT, bias)
                self.assertEqual(text, "2020-01-22T09:30:07" + suffix)
                self.assertRegex(text, "^" + P.LINK_CLOCK_RE + "$")
                self.assertEqual(P.link_bias_minutes(text), bias)

    def test_sync_clock_text(self):
        for offset, suffix in [(3600, "+03600"), (-18000, "-18000"), (0, "+00000"), (19800, "+19800")]:
            with self.subTest(offset=offset):
                text = P.sync_clock_text(self.AT, offset)
                self.assertEqual(text, "2020-01-22T09:30:07" + suffix)
                self.assertRegex(text, "^" + P.SYNC_CLOCK_RE + "$")

    def test_heartbeat_stamp_is_high_then_low_half_in_ten_digits_each(self):
        self.assertEqual(P.heartbeat_stamp((30000000 << 32) + 4000000000), "00300000004000000000")
        self.assertRegex(P.heartbeat_stamp(), "^" + P.STAMP_RE + "$")


def originate(link, count, payload):
    """Sends count lines and a payload, then checks that all of it comes back unchanged."""
    lines = [P.join_fields("ECHOLN", [i, "a b", "", "x\ry", "€é"]) for i in range(count)]
    for line in lines:
        link.send_line(line)
    link.send_payload("PAYLOD", [len(payload)], payload)
    for i, line in enumerate(lines):
        got = link.read_line()
        if got != line:
            raise AssertionError("echo %d: expected %r, got %r" % (i, line, got))
    size = int(link.expect("PAYLOD", 1)[0])
    if link.read_payload(size) != payload:
        raise AssertionError("the payload came back changed")


def echo(link, count):
    for _ in range(count):
        link.send_line(link.read_line())
    size = int(link.expect("PAYLOD", 1)[0])
    link.send_payload("PAYLOD", [size], link.read_payload(size))


class LinkTest(unittest.TestCase):
    PAYLOAD = os.urandom(1 << 20)
    DECISIONS = [(1, 0), (1, 1), (0, 0)]

    def test_roles_agree_and_echo_lines_and_payloads_both_ways(self):
        for enc, cmp in self.DECISIONS:
            for is_wide in (True, False):
                with self.subTest(enc=enc, cmp=cmp, wide=is_wide):
                    def acceptor(link):
                        hs = link.handshake_as_acceptor(enc, cmp, account="JEX\\SERVER 1")
                        echo(link, 1000)
                        originate(link, 1000, self.PAYLOAD)
                        return hs, link.wide

                    def connector(link):
                        hs = link.handshake_as_connector(account="WORKGROUP\\PC 7")
                        originate(link, 1000, self.PAYLOAD)
                        echo(link, 1000)
                        return hs, link.wide

                    (ahs, awide), (chs, cwide) = run_pair(acceptor, connector, connector_kw={"wide": is_wide})
                    self.assertEqual((awide, cwide), (is_wide, is_wide), "both ends must settle on the connector's encoding")
                    self.assertRegex(ahs.lines[0], r"^CNPROP %s WORKGROUP\\PC\x0c7$" % P.LINK_CLOCK_RE)
                    self.assertEqual(ahs.lines[1], "CNPROP")
                    self.assertEqual(ahs.peer_account, "WORKGROUP\\PC 7")
                    self.assertRegex(chs.lines[0], r"^CNPROP %s %d %d JEX\\SERVER\x0c1$" % (P.LINK_CLOCK_RE, enc, cmp))
                    self.assertEqual((chs.enc, chs.cmp), (bool(enc), bool(cmp)))
                    self.assertEqual(chs.peer_account, "JEX\\SERVER 1")
                    self.assertRegex(chs.sync_text, "^" + P.SYNC_CLOCK_RE + "$")
                    self.assertEqual(chs.sync_text, ahs.sync_text)

    def test_any_decision_text_but_0_switches_a_layer_on(self):
        def acceptor(link):
            hs = link.handshake_as_acceptor("yes", "0")
            link.send_line("AFTER")
            return hs

        def connector(link):
            hs = link.handshake_as_connector()
            link.expect("AFTER", 0)
            return hs

        ahs, chs = run_pair(acceptor, connector)
        self.assertRegex(chs.lines[0], r"^CNPROP %s yes 0$" % P.LINK_CLOCK_RE)
        self.assertEqual([(h.enc, h.cmp) for h in (ahs, chs)], [(True, False)] * 2)

    def test_wire_bytes_follow_the_layer_order(self):
        # Decoded here with a fresh key stream and zlib: RC4 outside, deflate inside, RC4 running on.
        for enc, cmp in self.DECISIONS:
            with self.subTest(enc=enc, cmp=cmp):
                def acceptor(link):
                    link.handshake_as_acceptor(enc, cmp, clock="2020-01-22T09:30:07-05:30")
                    link.send_line("AFTER 1")
                    return link.writes

                def connector(link):
                    link.handshake_as_connector(clock="2020-01-22T09:30:07+05:00")
                    link.expect("AFTER", 1)
                    link.send_line("AFTER 2")
                    return link.writes

                awrites, cwrites = run_pair(acceptor, connector, {"trace_writes": True}, {"trace_writes": True})
                for writes, first, rest, who in [
                        (cwrites, "CNPROP 2020-01-22T09:30:07+05:00\r", ["CNPROP\r", "AFTER 2\r"], "connector"),
                        (awrites, "CNPROP 2020-01-22T09:30:07-05:30 %d %d\r" % (enc, cmp), [None, "AFTER 1\r"], "acceptor")]:
                    rc4 = P.RC4(hashlib.md5(b"3teXOnikawubroPle-_h9D+muS6lepiz").digest())
                    inflater = zlib.decompressobj()
                    self.assertEqual(rc4.process(writes[0]), wide(first), who + ": the first CNPROP goes RC4-encrypted")
                    for n, (wire, expected) in enumerate(zip(writes[1:], rest)):
                        plain = rc4.process(wire) if enc else wire
                        if cmp:
                            if n == 0:
                                self.assertEqual(plain[:2], b"\x78\x9c", who + ": one zlib stream at the default level")
                            self.assertEqual(plain[-4:], b"\x00\x00\xff\xff", who + ": every send ends in a sync flush")
                            plain = inflater.decompress(plain)
                        if expected is None:  # the pushed clock
                            self.assertRegex(plain.decode("utf-16-le"), "^TTSYNC %s\r$" % P.SYNC_CLOCK_RE)
                        else:
                            self.assertEqual(plain, wide(expected), who)

    def test_acceptor_that_never_answers_leaves_the_connector_waiting(self):
        def acceptor(link):
            hs = link.handshake_as_acceptor(answer=False)
            link.expect_closed(10)
            return hs

        def connector(link):
            with self.assertRaises(P.PeerTimeout):
                link.handshake_as_connector(timeout=0.5)

        hs, _ = run_pair(acceptor, connector)
        self.assertRegex(hs.peer_clock, "^" + P.LINK_CLOCK_RE + "$")

    def test_acceptor_answering_too_few_fields(self):
        def acceptor(link):
            link.handshake_as_acceptor(reply_fields=["x"])
            link.expect_closed(10)
            return link.writes

        def connector(link):
            with self.assertRaisesRegex(P.ProtocolError, "'CNPROP x'"):
                link.handshake_as_connector()

        writes, _ = run_pair(acceptor, connector, {"trace_writes": True})
        self.assertEqual(P.RC4(P.link_key()).process(b"".join(writes)), wide("CNPROP x\r"),
                         "the short answer still goes under the handshake's encryption")

    def test_byte_at_a_time_and_split_line_end(self):
        for enc, cmp in self.DECISIONS:
            for mode in ("bytewise", "split_cr"):
                with self.subTest(enc=enc, cmp=cmp, mode=mode):
                    def receiver(link):
                        link.set_layers(enc, cmp)
                        return link.read_line(), link.read_line()

                    def sender(link):
                        link.set_layers(enc, cmp)
                        link.send_line("HEARTB 1 00300000004000000000", **{mode: True}, pause=0.002)
                        link.send_line("NEXT")
                        return link.writes

                    (first, second), writes = run_pair(receiver, sender, connector_kw={"trace_writes": True})
                    self.assertEqual((first, second), ("HEARTB 1 00300000004000000000", "NEXT"))
                    plain = wide("HEARTB 1 00300000004000000000\r")
                    rc4 = P.RC4(P.link_key())
                    pieces = [rc4.process(w) if enc else w for w in writes[:-1]]
                    if cmp:
                        inflater = zlib.decompressobj()
                        pieces = [inflater.decompress(p) for p in pieces]
                    expected = [plain[i:i + 1] for i in range(len(plain))] if mode == "bytewise" else [plain[:-1], plain[-1:]]
                    self.assertEqual(pieces, expected, "one send per byte, or a cut between 0x0D and 0x00")

    def test_split_cr_needs_a_wide_line(self):
        def acceptor(link):
            return None

        def connector(link):
            link.wide = False
            with self.assertRaises(ValueError):
                link.send_line("X", split_cr=True)

        run_pair(acceptor, connector)

    def test_first_data_decides_the_encoding_of_plain_clients(self):
        for is_wide, text in [(True, "HELLO a \u0d41\u4100b"), (False, "HELLO a \u20acb")]:
            with self.subTest(wide=is_wide):
                def acceptor(link):
                    line = link.read_line()
                    link.send_line("BACK")
                    return line, link.wide

                def connector(link):
                    link.send_line(text)
                    return link.read_line(), link.writes

                (line, awide), (back, writes) = run_pair(acceptor, connector,
                                                         connector_kw={"wide": is_wide, "trace_writes": True})
                self.assertEqual((line, awide, back), (text, is_wide, "BACK"),
                                 "a 0x0D 0x00 at an odd offset is no line end")
                self.assertEqual(b"".join(writes), text.encode("utf-16-le" if is_wide else "cp1252") + (b"\r\x00" if is_wide else b"\r"))

    def test_auto_answer_serves_heartbeats_and_clock_requests(self):
        def acceptor(link):
            link.auto_answer = True
            line = link.read_line()
            link.expect_silence(0.3)  # the last line needs no answer
            return line

        def connector(link):
            link.send_line("HEARTB 1 12345")
            link.send_line("TTSYNC")
            got = [link.read_line(), link.read_line()]
            link.send_line("DONE x")
            return got

        line, got = run_pair(acceptor, connector)
        self.assertEqual(line, "DONE x", "answered requests are not handed to the caller")
        self.assertEqual(got[0], "HEARTB 0 12345", "a request comes back with the same stamp, whatever its length")
        self.assertRegex(got[1], "^TTSYNC %s$" % P.SYNC_CLOCK_RE)

    def test_lines_sent_together_leave_in_one_write(self):
        def acceptor(link):
            link.set_layers(1, 0)
            return [link.read_line() for _ in range(3)]

        def connector(link):
            link.set_layers(1, 0)
            link.send_lines(["HEARTB 1", "", "NEXT a"])
            return link.writes

        lines, writes = run_pair(acceptor, connector, connector_kw={"trace_writes": True})
        self.assertEqual(lines, ["HEARTB 1", "", "NEXT a"])
        self.assertEqual(len(writes), 1, "one write holding all three lines")
        self.assertEqual(P.RC4(P.link_key()).process(writes[0]), wide("HEARTB 1\r\rNEXT a\r"))

    def test_expect_reports_what_arrived(self):
        def acceptor(link):
            link.send_line("ALOGON 0 1 2 3")
            link.expect_closed()

        def connector(link):
            with self.assertRaisesRegex(P.ProtocolError, "ALOGON 0 1 2 3"):
                link.expect("ALOGON", 3)

        run_pair(acceptor, connector)


class CommandLineTest(unittest.TestCase):
    def test_keystream_prints_the_known_answer(self):
        out = subprocess.run([sys.executable, os.path.join(HERE, "lumopeer.py"), "keystream", "--bytes", "64"],
                             capture_output=True, text=True, timeout=60, check=True).stdout
        self.assertEqual(out.strip(), P.known_keystream(64).hex())

    def test_scripted_acceptor(self):
        with tempfile.TemporaryDirectory() as tmp:
            data_path, got_path, script_path = (os.path.join(tmp, n) for n in ("data", "got", "script"))
            with open(data_path, "wb") as f:
                f.write(b"\r\x00binary\x0d")
            with open(script_path, "w") as f:
                f.write("# a Jex that greets, sends a file and takes one back\n"
                        "handshake enc=1 cmp=1 account=JEX\n"
                        "expect HELLO \\d+\n"
                        "send STARTS 3 5.4.9.6 '' '-' 1907\n"
                        "payload %s UPDATE args {size}\n"
                        "expect SNDLOG 5\n"
                        "readpayload 5 %s\n"
                        "echo 2\n"
                        "silence 0.2\n" % (data_path, got_path))
            proc = subprocess.Popen([sys.executable, os.path.join(HERE, "lumopeer.py"), "serve", "--script", script_path],
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            try:
                port = int(re.fullmatch(r"LISTENING (\d+)\n", proc.stdout.readline()).group(1))
                with P.PeerLink.connect("127.0.0.1", port) as link:
                    hs = link.handshake_as_connector(account="PC")
                    self.assertEqual((hs.enc, hs.cmp, hs.peer_account), (True, True, "JEX"))
                    link.send_line("HELLO 42")
                    self.assertEqual(link.expect("STARTS", 5), ["3", "5.4.9.6", "", "-", "1907"])
                    self.assertEqual(link.expect("UPDATE", 2), ["args", "9"])
                    self.assertEqual(link.read_payload(9), b"\r\x00binary\x0d")
                    link.send_payload("SNDLOG", [5], b"12345")
                    link.send_line("HEARTB 1 77")           # answered by the script runner, not echoed
                    self.assertEqual(link.read_line(), "HEARTB 0 77")
                    link.send_line("ONE")
                    link.send_line("TWO a\x0cb")
                    self.assertEqual([link.read_line(), link.read_line()], ["ONE", "TWO a\x0cb"])
                    link.expect_closed(10)
                self.assertEqual(proc.wait(30), 0, proc.stderr.read())
                with open(got_path, "rb") as f:
                    self.assertEqual(f.read(), b"12345")
            finally:
                proc.kill()
                proc.wait()
                proc.stdout.close()
                proc.stderr.close()

    def test_scripted_connector(self):
        with tempfile.TemporaryDirectory() as tmp, P.Listener() as lst:
            script_path = os.path.join(tmp, "script")
            with open(script_path, "w") as f:
                f.write("handshake account=PC\nsend APLGIN 1 0 1\nexpect APLGIN 1 -1 1 \\d+\nsendraw NEXCAL\\x0c7\nclose\n")
            proc = subprocess.Popen([sys.executable, os.path.join(HERE, "lumopeer.py"), "connect", "--port", str(lst.port),
                                     "--script", script_path], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            try:
                with lst.accept(30) as link:
                    hs = link.handshake_as_acceptor(1, 0, account="HOST")
                    self.assertEqual(hs.peer_account, "PC")
                    self.assertEqual(link.expect("APLGIN", 3), ["1", "0", "1"])
                    link.send_fields("APLGIN", 1, -1, 1, 3)
                    self.assertEqual(link.read_line(), "NEXCAL\x0c7", "sendraw sends the text with its escapes decoded")
                    link.expect_closed(10)
                self.assertEqual(proc.wait(30), 0, proc.stderr.read())
            finally:
                proc.kill()
                proc.wait()
                proc.stdout.close()
                proc.stderr.close()

    def test_script_failure_names_the_line_and_exits_non_zero(self):
        with tempfile.TemporaryDirectory() as tmp:
            script_path = os.path.join(tmp, "script")
            with open(script_path, "w") as f:
                f.write("timeout 5\nexpect NEVER\n")
            proc = subprocess.Popen([sys.executable, os.path.join(HERE, "lumopeer.py"), "serve", "--script", script_path],
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            try:
                port = int(proc.stdout.readline().split()[1])
                with P.PeerLink.connect("127.0.0.1", port, wide=False) as link:
                    link.send_line("OTHER")
                    self.assertEqual(proc.wait(30), 1)
                self.assertIn("script line 2 (expect NEVER)", proc.stderr.read())
            finally:
                proc.kill()
                proc.wait()
                proc.stdout.close()
                proc.stderr.close()


if __name__ == "__main__":
    unittest.main()
