#!/usr/bin/env python3
"""Holds what the Windows build delivered under Wine against the Linux player's
output. Each mode exits 0 when they agree and says why when they do not.

  same-audio PCM WAV          the grabbed bytes equal the WAV's data chunk
  one-packet-dropped PCM WAV  the grabbed bytes are the WAV's with one
                              contiguous run (one packet) left out
  same-report WIN LINUX       the configuration reports agree (Windows-1251
                              with CR LF against UTF-8 with LF)
  message-tiles BMP           each camera tile of the 2x2 picture has drawn
                              pixels in its middle: the decoder's message
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


def same_audio(pcm, wav):
    grabbed, expected = read(pcm), wav_data(wav)
    if grabbed == expected:
        return True
    print(f"audio differs: {len(grabbed)} bytes grabbed, {len(expected)} in the WAV, "
          f"first difference at byte {first_difference(grabbed, expected)}")
    return False


def one_packet_dropped(pcm, wav):
    grabbed, expected = read(pcm), wav_data(wav)
    missing = len(expected) - len(grabbed)
    if missing <= 0:
        print(f"nothing was dropped: {len(grabbed)} bytes grabbed, {len(expected)} in the WAV")
        return False
    at = first_difference(grabbed, expected)
    if grabbed[at:] != expected[at + missing:]:
        print(f"more than one run of {missing} bytes differs from byte {at} on")
        return False
    print(f"   {missing} bytes left out at byte {at} of {len(expected)}")
    return True


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
    ok = True
    for tile_y in (0, 1):
        for tile_x in (0, 1):
            # The middle band of the tile, where the message is centred.
            x0, x1 = tile_x * width // 2, (tile_x + 1) * width // 2
            y0, y1 = tile_y * height // 2 + height // 8, (tile_y + 1) * height // 2 - height // 8
            drawn = sum(1 for y in range(y0, y1) for x in range(x0, x1)
                        if any(pixels[y * row + x * 4:y * row + x * 4 + 3]))
            if drawn == 0:
                print(f"the tile at ({tile_x}, {tile_y}) has nothing drawn")
                ok = False
    return ok


MODES = {"same-audio": same_audio, "one-packet-dropped": one_packet_dropped,
         "same-report": same_report, "message-tiles": message_tiles}

if __name__ == "__main__":
    if len(sys.argv) < 3 or sys.argv[1] not in MODES:
        raise SystemExit(__doc__)
    sys.exit(0 if MODES[sys.argv[1]](*sys.argv[2:]) else 1)
