#!/usr/bin/env python3
"""make-tones.py <folder> [name=seconds:channels:hz[:rate] ...]: writes sine tones as 16-bit WAV
files and, when oggenc is there, as Ogg Vorbis files with their reference PCM decoded by
`oggdec -R` (the decoder the engine's output is compared with). A length ending in "s" counts
samples instead of seconds ("262145s"). Used by the audio tests, the sample program and the
audio benchmark, so no encoded sound is kept in the repository."""
import math
import os
import shutil
import struct
import subprocess
import sys


def samples(frames, channels, hz, rate):
    out = bytearray()
    for i in range(frames):
        for c in range(channels):
            # Each channel an octave-fifth apart, so a swapped pair shows.
            value = 0.5 * math.sin(2 * math.pi * hz * (1.5 ** c) * i / rate)
            out += struct.pack('<h', int(value * 32767))
    return bytes(out)


def wav(path, pcm, channels, rate):
    header = b'RIFF' + struct.pack('<I', 36 + len(pcm)) + b'WAVE'
    header += b'fmt ' + struct.pack('<IHHIIHH', 16, 1, channels, rate, rate * channels * 2, channels * 2, 16)
    header += b'data' + struct.pack('<I', len(pcm))
    with open(path, 'wb') as f:
        f.write(header + pcm)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    have_vorbis = shutil.which('oggenc') is not None and shutil.which('oggdec') is not None
    for tone in sys.argv[2:]:
        name, description = tone.split('=')
        parts = description.split(':')
        length, channels, hz = parts[0], int(parts[1]), float(parts[2])
        rate = int(parts[3]) if len(parts) > 3 else 44100
        frames = int(length[:-1]) if length.endswith('s') else int(float(length) * rate)
        pcm = samples(frames, channels, hz, rate)
        base = os.path.join(folder, name)
        wav(base + '.wav', pcm, channels, rate)
        if not have_vorbis:
            continue
        raw = base + '.in.raw'
        with open(raw, 'wb') as f:
            f.write(pcm)
        subprocess.run(['oggenc', '-Q', '-r', '--raw-bits=16', '--raw-chan=%d' % channels,
                        '--raw-rate=%d' % rate, '--raw-endianness=0', '-q', '3', '-o', base + '.ogg', raw],
                       check=True)
        os.remove(raw)
        subprocess.run(['oggdec', '-Q', '-R', '-o', base + '.pcm', base + '.ogg'], check=True)


if __name__ == '__main__':
    main()
