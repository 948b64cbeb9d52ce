#!/usr/bin/env python3
"""make-large-inputs.py <folder>: writes the simulated cloud files too large to keep in the
repository. forty-thousand-keys.cloud (680 KB): 40,000 distinct keys, which once took a minute
to load because every key was looked up by walking the whole store."""
import os
import struct
import sys


def main():
    os.makedirs(sys.argv[1], exist_ok=True)
    entries = b''.join(b'k%05d\0' % i + struct.pack('<I', 6) + b'blob%02d' % (i % 100) for i in range(40000))
    with open(os.path.join(sys.argv[1], 'forty-thousand-keys.cloud'), 'wb') as f:
        f.write(b'SIMULATED_CLOUD\0' + struct.pack('<I', 40000) + entries)


if __name__ == '__main__':
    main()
