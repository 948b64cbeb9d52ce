#!/usr/bin/env python3
"""make-large-inputs.py <seed.ogg> <folder> [<folder for the small seed>]: writes the Ogg Vorbis
inputs too large to keep in the repository. trailing-empty-pages-of-another-stream.ogg (10 MB):
the seed with a second, empty stream announced beside it whose empty pages, all with the same
page number, follow the Vorbis stream's last page; opening it once read a 64 KiB chunk per page
(42 s). With a third argument, the same with 100 such pages is written there as a corpus seed."""
import os
import struct
import sys


def crc(page):
    value = 0
    for byte in page:
        value ^= byte << 24
        for _ in range(8):
            value = ((value << 1) ^ 0x04C11DB7) if value & 0x80000000 else (value << 1)
            value &= 0xFFFFFFFF
    return value


def empty_page(flags, serial, sequence):
    page = bytearray(b'OggS\0' + bytes([flags]) + struct.pack('<qIII', -1, serial, sequence, 0) + b'\0')
    struct.pack_into('<I', page, 22, crc(page))
    return bytes(page)


def pages(data):
    at = 0
    while at + 27 <= len(data):
        segments = data[at + 26]
        length = 27 + segments + sum(data[at + 27:at + 27 + segments])
        yield data[at:at + length]
        at += length


def with_trailing_pages(seed, count):
    found = list(pages(seed))
    other = struct.unpack_from('<I', found[0], 14)[0] + 1
    return found[0] + empty_page(2, other, 0) + b''.join(found[1:]) + empty_page(0, other, 1) * count


def main():
    with open(sys.argv[1], 'rb') as f:
        seed = f.read()
    os.makedirs(sys.argv[2], exist_ok=True)
    with open(os.path.join(sys.argv[2], 'trailing-empty-pages-of-another-stream.ogg'), 'wb') as f:
        f.write(with_trailing_pages(seed, 388000))
    if len(sys.argv) > 3:
        with open(os.path.join(sys.argv[3], 'trailing-empty-pages-of-another-stream.ogg'), 'wb') as f:
            f.write(with_trailing_pages(seed, 100))


if __name__ == '__main__':
    main()
