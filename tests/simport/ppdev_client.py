#!/usr/bin/env python3
"""A ppdev client that is not KALDO: claims /dev/parport0 with fcntl.ioctl, reads the board's
status register and checks the driver's answers to a few requests.

ppdev_client.py STATUS: STATUS is the status byte expected of the board (hexadecimal).
Prints "status XX" and exits 0 when every answer is the kernel driver's; 1 otherwise."""
import errno
import fcntl
import os
import struct
import sys

# linux/ppdev.h: _IO('p', n), _IOR/_IOW('p', n, size)
def _io(n, size=0, direction=0):
    return (direction << 30) | (size << 16) | (ord("p") << 8) | n

PPCLAIM, PPRELEASE, PPEXCL = _io(0x8B), _io(0x8C), _io(0x8F)
PPRSTATUS, PPRCONTROL, PPWCONTROL = _io(0x81, 1, 2), _io(0x83, 1, 2), _io(0x84, 1, 1)
PPWDATA, PPRDATA, PPFCONTROL = _io(0x86, 1, 1), _io(0x85, 1, 2), _io(0x8E, 2, 1)
PPGETMODES, PPNEGOT, PPDATADIR = _io(0x97, 4, 2), _io(0x91, 4, 1), _io(0x90, 4, 1)
PCSPP_TRISTATE, IEEE1284_MODE_ECP, TCGETS = 0x3, 0x10, 0x5401

failures = []


def request(fd, req, arg=b"\0"):
    """The answer as bytes, or the errno name."""
    try:
        return fcntl.ioctl(fd, req, arg)
    except OSError as e:
        return errno.errorcode[e.errno]


def expect(what, got, want):
    if got != want:
        failures.append(f"{what}: got {got!r}, want {want!r}")


status = bytes([int(sys.argv[1], 16)])
fd = os.open("/dev/parport0", os.O_RDWR)
other = os.open("/dev/parport0", os.O_RDWR)
cases = [
    ("status before the claim", lambda: request(fd, PPRSTATUS), "EINVAL"),
    ("the modes", lambda: request(fd, PPGETMODES, b"\0" * 4), struct.pack("I", PCSPP_TRISTATE)),
    ("claim", lambda: request(fd, PPCLAIM, 0), 0),
    ("claim again", lambda: request(fd, PPCLAIM, 0), "EINVAL"),
    ("claim by another", lambda: request(other, PPCLAIM, 0), "EBUSY"),
    ("exclusive after the claim", lambda: request(fd, PPEXCL, 0), "EINVAL"),
    ("the board's status", lambda: request(fd, PPRSTATUS), status),
    ("control: the four lines alone", lambda: (request(fd, PPWCONTROL, b"\xff"),
                                              request(fd, PPRCONTROL))[1], b"\x0f"),
    ("frob Strobe off", lambda: (request(fd, PPFCONTROL, b"\x01\x00"),
                                 request(fd, PPRCONTROL))[1], b"\x0e"),
    ("data read back", lambda: (request(fd, PPWDATA, b"\x5a"), request(fd, PPRDATA))[1], b"\x5a"),
    ("data direction", lambda: request(fd, PPDATADIR, struct.pack("i", 0)), b"\0\0\0\0"),
    ("ECP negotiation", lambda: request(fd, PPNEGOT, struct.pack("i", IEEE1284_MODE_ECP)), "EIO"),
    ("a terminal's request", lambda: request(fd, TCGETS, b"\0" * 64), "ENOTTY"),
    ("release", lambda: request(fd, PPRELEASE, 0), 0),
    ("claim by another after the release", lambda: request(other, PPCLAIM, 0), 0),
]
for what, run, want in cases:
    expect(what, run(), want)
print("status " + request(other, PPRSTATUS).hex().upper())
os.close(other)
os.close(fd)
for f in failures:
    print("FAIL " + f)
sys.exit(1 if failures else 0)
