"""Stand-in for the local update service: accepts on 127.0.0.1, never writes, and records the
bytes each connection sent. Stdlib only; imports nothing of the project.

The real service listens on port 1919; tests that start Lumo share that port and so run one at a
time. A test of its own may pass port 0 for a free one.
"""
import socket
import threading


class UpdateServiceStandIn:
    def __init__(self, port=1919):
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._listener.bind(("127.0.0.1", port))
        self._listener.listen(8)
        self.port = self._listener.getsockname()[1]
        self._lock = threading.Lock()
        self._connections = []  # one bytearray per accepted connection, in order
        self._readers = []
        self._sockets = []
        self._stopping = False
        self._acceptor = threading.Thread(target=self._accept, daemon=True)
        self._acceptor.start()

    def _accept(self):
        while not self._stopping:
            try:
                conn, _ = self._listener.accept()
            except OSError:
                return
            received = bytearray()
            with self._lock:
                self._connections.append(received)
                self._sockets.append(conn)
            reader = threading.Thread(target=self._read, args=(conn, received), daemon=True)
            self._readers.append(reader)
            reader.start()

    def _read(self, conn, received):
        with conn:
            while True:
                try:
                    data = conn.recv(65536)
                except OSError:
                    return
                if not data:
                    return
                with self._lock:
                    received.extend(data)

    def connections(self):
        """Copies of the bytes of every connection so far."""
        with self._lock:
            return [bytes(c) for c in self._connections]

    def stop(self, timeout=5):
        self._stopping = True
        try:
            # Wakes the accepting thread; closing alone leaves the port listening until it returns.
            self._listener.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self._listener.close()
        self._acceptor.join(timeout)
        with self._lock:
            for conn in self._sockets:
                try:
                    conn.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
        for reader in self._readers:
            reader.join(timeout)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
