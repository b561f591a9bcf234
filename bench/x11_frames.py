"""Watches an X display for the first frame a program paints, from outside the program.

A minimal X11 client on the display's local socket: it follows the creation of every top-level
window (SubstructureNotify on the root) and attaches a DAMAGE object to each at once, before the
program can draw. A Qt window has no background of its own, so the server paints nothing into it:
its first damage is the program's first frame reaching the screen.
"""

import os
import select
import socket
import struct
import time

_CREATE_NOTIFY = 16
_SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
_CW_EVENT_MASK = 1 << 11
_DAMAGE_REPORT_NON_EMPTY = 3


def _pad4(n):
    return (4 - n % 4) % 4


class FrameWatcher:
    def __init__(self, display):
        number = display.lstrip(":").split(".")[0]
        self._sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._sock.connect("/tmp/.X11-unix/X" + number)
        self._buffer = b""
        self._sequence = 0
        self._setup()
        self._damage_opcode, self._damage_event = self._query_extension(b"DAMAGE")
        # A client must agree on the extension's version before using it.
        self._request(struct.pack("<BBHII", self._damage_opcode, 0, 3, 1, 1))
        self._reply()
        self._request(struct.pack("<BxHIII", 2, 4, self._root, _CW_EVENT_MASK,
                                  _SUBSTRUCTURE_NOTIFY_MASK))

    def close(self):
        self._sock.close()

    def wait_first_frame(self, timeout):
        """Monotonic time at which a window created from now on first shows pixels; None when
        none does within timeout seconds."""
        deadline = time.monotonic() + timeout
        watched = set()
        while True:
            event = self._next_event(deadline)
            if event is None:
                return None
            code = event[0] & 0x7F
            if code == _CREATE_NOTIFY:
                window = struct.unpack_from("<I", event, 8)[0]
                watched.add(window)
                self._request(struct.pack("<BBHIIBxxx", self._damage_opcode, 1, 4,
                                          self._new_id(), window, _DAMAGE_REPORT_NON_EMPTY))
            elif code == self._damage_event:
                if struct.unpack_from("<I", event, 4)[0] in watched:
                    return time.monotonic()

    def _setup(self):
        self._sock.sendall(struct.pack("<BxHHHHxx", 0x6C, 11, 0, 0, 0))
        head = self._read(8)
        extra = self._read(struct.unpack_from("<H", head, 6)[0] * 4)
        if head[0] != 1:
            raise RuntimeError("X server refused the connection: %r" % extra)
        self._id_base, self._id_mask = struct.unpack_from("<II", extra, 4)
        vendor_length = struct.unpack_from("<H", extra, 16)[0]
        formats = extra[21]
        screen = 32 + vendor_length + _pad4(vendor_length) + 8 * formats
        self._root = struct.unpack_from("<I", extra, screen)[0]
        self._next_resource = 1

    def _new_id(self):
        resource = self._id_base | (self._next_resource & self._id_mask)
        self._next_resource += 1
        return resource

    def _query_extension(self, name):
        length = 2 + (len(name) + _pad4(len(name))) // 4
        self._request(struct.pack("<BxHHxx", 98, length, len(name)) + name +
                      b"\0" * _pad4(len(name)))
        reply = self._reply()
        if not reply[8]:
            raise RuntimeError("the X server lacks the %s extension" % name.decode())
        return reply[9], reply[10]

    def _request(self, data):
        self._sequence += 1
        self._sock.sendall(data)

    def _reply(self):
        while True:
            unit = self._read(32)
            if unit[0] == 0:
                raise RuntimeError("X error %d" % unit[1])
            if unit[0] == 1:
                return unit + self._read(struct.unpack_from("<I", unit, 4)[0] * 4)

    def _next_event(self, deadline):
        while True:
            while len(self._buffer) < 32:
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([self._sock], [], [], left)[0]:
                    return None
                self._receive()
            unit, self._buffer = self._buffer[:32], self._buffer[32:]
            if unit[0] == 1:
                self._read(struct.unpack_from("<I", unit, 4)[0] * 4)
            elif unit[0] != 0:  # errors, such as a window gone before it was watched, are moot
                return unit

    def _read(self, n):
        while len(self._buffer) < n:
            self._receive()
        data, self._buffer = self._buffer[:n], self._buffer[n:]
        return data

    def _receive(self):
        chunk = self._sock.recv(65536)
        if not chunk:
            raise RuntimeError("the X server closed the connection")
        self._buffer += chunk


def start_xvfb():
    """Starts a private Xvfb; returns (process, display)."""
    import subprocess

    read_end, write_end = os.pipe()
    process = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
         "-noreset"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        process.kill()
        process.wait()
        raise RuntimeError("Xvfb did not start")
    return process, ":" + number
