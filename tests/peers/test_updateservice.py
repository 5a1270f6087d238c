"""The update-service stand-in: every connection's bytes are kept apart, nothing is ever sent."""
import socket
import time
import unittest

from updateservice import UpdateServiceStandIn


def wait_for(condition, timeout=5):
    deadline = time.monotonic() + timeout
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.01)
    return condition()


class UpdateServiceTest(unittest.TestCase):
    def test_records_each_connection_and_never_writes(self):
        with UpdateServiceStandIn(port=0) as service:
            first = socket.create_connection(("127.0.0.1", service.port))
            second = socket.create_connection(("127.0.0.1", service.port))
            first.sendall(b"UPDATE 1\r")
            second.sendall(b"x" * 100000)
            first.sendall(b"more")
            self.assertTrue(wait_for(lambda: [len(c) for c in service.connections()] == [13, 100000]),
                            service.connections())
            self.assertEqual(service.connections()[0], b"UPDATE 1\rmore")
            first.settimeout(0.3)
            with self.assertRaises(socket.timeout):
                first.recv(1)
            first.close()
            second.close()

    def test_stop_ends_open_connections(self):
        service = UpdateServiceStandIn(port=0)
        client = socket.create_connection(("127.0.0.1", service.port))
        self.assertTrue(wait_for(lambda: len(service.connections()) == 1))
        started = time.monotonic()
        service.stop()
        self.assertLess(time.monotonic() - started, 2, "stop waited for the client")
        client.settimeout(2)
        self.assertEqual(client.recv(1), b"", "the connection was not ended")
        client.close()

    def test_stop_refuses_new_connections(self):
        service = UpdateServiceStandIn(port=0)
        port = service.port
        service.stop()
        with self.assertRaises(OSError):
            socket.create_connection(("127.0.0.1", port), timeout=2).close()


if __name__ == "__main__":
    unittest.main()
