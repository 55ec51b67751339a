#!/usr/bin/env python3
"""Holds what the Windows build delivered under Wine against the Linux player's
output. Each mode exits 0 when they agree and says why when they do not.

  same-audio PCM WAV [RUNS]   the grabbed bytes equal the WAV's data chunk,
                              less the runs START:LENGTH[,START:LENGTH...]
  same-report WIN LINUX       the configuration reports agree (Windows-1251
                              with CR LF against UTF-8 with LF)
  message-tiles BMP           the top of at least three camera tiles of the
                              2x2 picture has drawn pixels: the decoder's message
"""
import struct
import sys


def wav_data(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise SystemExit(f"{path}: not a WAV file")
    pos = 12
    while pos + 8 <= len(data):
        kind, size = data[pos:pos + 4], struct.unpack_from("<I", data, pos + 4)[0]
        if kind == b"data":
            return data[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    raise SystemExit(f"{path}: no data chunk")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i
    return min(len(a), len(b))


def same_audio(pcm, wav, left_out=""):
    grabbed, expected = read(pcm), wav_data(wav)
    # Cut the left-out runs from the end backwards, so the offsets stay those of the WAV.
    runs = [tuple(map(int, run.split(":"))) for run in left_out.split(",") if run]
    for start, length in sorted(runs, reverse=True):
        expected = expected[:start] + expected[start + length:]
    if grabbed == expected:
        return True
    print(f"audio differs: {len(grabbed)} bytes grabbed, {len(expected)} expected, "
          f"first difference at byte {first_difference(grabbed, expected)}")
    return False


def same_report(windows, linux):
    ours = read(windows).decode("cp1251").replace("\r", "")
    theirs = read(linux).decode("utf-8")
    if ours.strip("\n") == theirs.strip("\n"):
        return True
    print("the configuration reports differ:\n--- Windows\n" + ours + "\n--- Linux\n" + theirs)
    return False


def message_tiles(bmp):
    data = read(bmp)
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    if bits != 32:
        print(f"the picture has {bits} bits per pixel, not 32")
        return False
    pixels = data[offset:]
    row = width * 4
    shown = 0
    for tile_y in (0, 1):
        for tile_x in (0, 1):
            # The message stands at the top of the tile; rows are bottom-up.
            x0, x1 = tile_x * width // 2, (tile_x + 1) * width // 2
            y1 = (tile_y + 1) * height // 2
            y0 = y1 - height // 16
            if any(any(pixels[y * row + x * 4:y * row + x * 4 + 3]) for y in range(y0, y1) for x in range(x0, x1)):
                shown += 1
    # The packet that runs the statistics pass composes its own camera's tile
    # over the message before the picture goes out, so one tile may lack it.
    if shown < 3:
        print(f"only {shown} of the 4 camera tiles show the message")
        return False
    print(f"   {shown} of the 4 camera tiles show the message")
    return True


MODES = {"same-audio": same_audio,
         "same-report": same_report, "message-tiles": message_tiles}

if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[1] not in MODES:
        raise SystemExit(__doc__)
    sys.exit(0 if MODES[sys.argv[1]](*sys.argv[2:]) else 1)
