#!/usr/bin/env python3
"""Writes the scan animation of the progress dialog: a sheet of paper with a beam
moving down over it, as an AVI clip the animation control plays (uncompressed 8-bit
frames stored bottom-up, no audio, one key frame per chunk).

The build runs it (python3 scan_animation.py <output.avi>); change the picture, the
palette or the beam below and rebuild.
"""

import struct
import sys

WIDTH, HEIGHT = 20, 16
FRAME_MICROSECONDS = 90000

# One character per pixel; index 0 (the first pixel) is the background the
# transparent animation control replaces by the dialog's own colour.
PALETTE = {
    ".": (0, (255, 0, 255)),    # background
    "#": (1, (96, 96, 96)),     # outline of the sheet
    " ": (2, (255, 255, 255)),  # paper
    "-": (3, (150, 150, 150)),  # lines of text
    "=": (4, (0, 120, 215)),    # the beam
    "~": (5, (150, 200, 240)),  # the beam's glow
}

SHEET = [
    "....############....",
    "....#          ##...",
    "....# ------   # #..",
    "....#          ####.",
    "....# --------    #.",
    "....#             #.",
    "....# ------      #.",
    "....#             #.",
    "....# ---------   #.",
    "....#             #.",
    "....# -------     #.",
    "....#             #.",
    "....# --------    #.",
    "....#             #.",
    "....###############.",
    "....................",
]

BEAM_LEFT, BEAM_RIGHT = 2, 19   # the beam is a little wider than the sheet
BEAM_ROWS = range(1, 14)        # one frame per row the beam passes


def frame(beam_row):
    rows = [list(line) for line in SHEET]
    glow_row = beam_row - 1
    for x in range(BEAM_LEFT, BEAM_RIGHT):
        if glow_row >= 0 and rows[glow_row][x] in " -":
            rows[glow_row][x] = "~"
        rows[beam_row][x] = "="
    return ["".join(row) for row in rows]


def frame_bytes(lines):
    stride = (WIDTH + 3) & ~3
    data = bytearray()
    for line in reversed(lines):  # bottom-up
        row = bytes(PALETTE[c][0] for c in line)
        data += row + b"\0" * (stride - len(row))
    return bytes(data)


def chunk(fourcc, payload):
    pad = b"\0" if len(payload) % 2 else b""
    return fourcc + struct.pack("<I", len(payload)) + payload + pad


def riff_list(kind, fourcc, payload):
    return kind + struct.pack("<I", len(payload) + 4) + fourcc + payload


def build_avi():
    for line in SHEET:
        assert len(line) == WIDTH, line
    assert len(SHEET) == HEIGHT
    frames = [frame_bytes(frame(row)) for row in BEAM_ROWS]
    frame_size = len(frames[0])
    colours = sorted(PALETTE.values())
    rate = round(1000000 / FRAME_MICROSECONDS)

    avih = struct.pack("<14I", FRAME_MICROSECONDS, frame_size * rate, 0, 0x10,  # AVIF_HASINDEX
                       len(frames), 0, 1, frame_size, WIDTH, HEIGHT, 0, 0, 0, 0)
    strh = (b"vids" + b"DIB " + struct.pack("<IHHIIIIIIII", 0, 0, 0, 0, 1, rate, 0, len(frames), frame_size,
                                            0xFFFFFFFF, 0)
            + struct.pack("<4h", 0, 0, WIDTH, HEIGHT))
    bitmap_info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, frame_size, 0, 0, len(colours), 0)
    for _, (r, g, b) in colours:
        bitmap_info += struct.pack("<BBBB", b, g, r, 0)
    strl = riff_list(b"LIST", b"strl", chunk(b"strh", strh) + chunk(b"strf", bitmap_info))
    hdrl = riff_list(b"LIST", b"hdrl", chunk(b"avih", avih) + strl)

    movi_payload = b""
    index = b""
    for data in frames:
        offset = 4 + len(movi_payload)  # from the 'movi' identifier
        index += b"00db" + struct.pack("<III", 0x10, offset, len(data))  # AVIIF_KEYFRAME
        movi_payload += chunk(b"00db", data)
    movi = riff_list(b"LIST", b"movi", movi_payload)
    return riff_list(b"RIFF", b"AVI ", hdrl + movi + chunk(b"idx1", index))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: scan_animation.py <output.avi>")
    with open(sys.argv[1], "wb") as f:
        f.write(build_avi())


if __name__ == "__main__":
    main()
