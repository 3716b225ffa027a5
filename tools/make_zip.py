#!/usr/bin/env python3
"""Packs files into a zip archive that is the same, byte for byte, every time.

usage: make_zip.py ZIP EPOCH FILE...

Each FILE is stored under its own name (no folders), in the order given, with the date
EPOCH (seconds since 1970, UTC; dates before 1980 become 1 January 1980) and no
permissions or owners, so nothing of the machine or the moment of packing gets in. The
files are stored uncompressed: the bytes then depend on nothing but the files, not on
the version of a compression library.

Names outside ASCII are written in GBK, the code page Chinese Windows reads zip names
in (its built-in zip folders, like most archivers there, ignore the UTF-8 flag on older
versions), and once more in UTF-8 in an Info-ZIP Unicode path field, which other
archivers read instead.
"""

import os
import struct
import sys
import time
import zlib

LOCAL_HEADER = 0x04034B50
CENTRAL_HEADER = 0x02014B50
END_OF_CENTRAL_DIRECTORY = 0x06054B50
UNICODE_PATH = 0x7075
VERSION = 20  # 2.0; the upper byte 0 says MS-DOS attributes (none set)


def dos_date_time(epoch):
    year, month, day, hour, minute, second = time.gmtime(max(epoch, 315532800))[:6]
    year = min(year, 2107)
    return (hour << 11) | (minute << 5) | (second // 2), ((year - 1980) << 9) | (month << 5) | day


def entry_name(name):
    """The name's bytes in the headers, and the extra field that goes with them."""
    try:
        return name.encode("ascii"), b""
    except UnicodeEncodeError:
        encoded = name.encode("gbk")
        unicode_path = struct.pack("<BI", 1, zlib.crc32(encoded)) + name.encode("utf-8")
        return encoded, struct.pack("<HH", UNICODE_PATH, len(unicode_path)) + unicode_path


def make_zip(paths, epoch):
    dos_time, dos_date = dos_date_time(epoch)
    body = b""
    directory = b""
    for path in paths:
        with open(path, "rb") as stream:
            data = stream.read()
        name, extra = entry_name(os.path.basename(path))
        crc = zlib.crc32(data)
        fields = struct.pack("<HHHHHIIIHH", VERSION, 0, 0, dos_time, dos_date, crc, len(data),
                             len(data), len(name), len(extra))
        directory += (struct.pack("<IH", CENTRAL_HEADER, VERSION) + fields +
                      struct.pack("<HHHII", 0, 0, 0, 0, len(body)) + name + extra)
        body += struct.pack("<I", LOCAL_HEADER) + fields + name + extra + data
    end = struct.pack("<IHHHHIIH", END_OF_CENTRAL_DIRECTORY, 0, 0, len(paths), len(paths),
                      len(directory), len(body), 0)
    return body + directory + end


def main(arguments):
    if len(arguments) < 4:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    target, epoch, paths = arguments[1], int(arguments[2]), arguments[3:]
    try:
        data = make_zip(paths, epoch)
    except (OSError, struct.error) as error:  # struct: beyond 4 GB, no plain zip
        print(f"make_zip: {error}", file=sys.stderr)
        return 1
    with open(target, "wb") as stream:
        stream.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
