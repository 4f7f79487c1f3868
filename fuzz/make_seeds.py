#!/usr/bin/env python3
"""Writes the seed corpus of both fuzz targets (fuzz/corpus/*/). Run it again after changing
the order in which a target takes its values from the input.

A target reads its input through FuzzedDataProvider: byte strings from the front of the input,
numbers and flags from the back (the last byte first). Encoder builds an input that gives the
values listed, in the order the target asks for them."""
import pathlib

ROOT = pathlib.Path(__file__).resolve().parent / "corpus"


class Encoder:
    def __init__(self):
        self.front = b""
        self.back = []  # numbers and flags, one entry per value, in the order they are asked

    def bytes(self, data):
        self.front += data
        return self

    def int(self, value, low, high):
        span = high - low
        count = 0
        while count < 8 and span >> (8 * count) > 0:
            count += 1
        offset = value - low
        assert 0 <= offset <= span
        # The first byte taken (the last of the input) is the most significant one.
        self.back.append(bytes((offset >> (8 * (count - 1 - i))) & 0xFF for i in range(count)))
        return self

    def bool(self, value):
        return self.int(1 if value else 0, 0, 255)

    def data(self):
        return self.front + b"".join(reversed([bytes(reversed(b)) for b in self.back]))


# fuzz_path_names: rules, dense, name, split capacities, make_path extension choice, extension
# for replace_extension with its capacities, four make_path pieces with their capacity.
EXACT, SHORT = 1, 0  # consume_capacity: the needed capacity, or one byte less


def path_seed(name, extension=b"MOT", pieces=(b"C:", b"\\out\\", b"___00000", b"___"),
              slash=False, empty_extension=False, capacity=EXACT):
    e = Encoder().bool(slash).bool(False)
    e.int(len(name), 0, 300).bytes(name)
    for _ in range(4):
        e.bool(True).int(capacity, 0, 3)
    e.bool(empty_extension)
    e.int(len(extension), 0, 300).bytes(extension)
    e.int(capacity, 0, 3).int(1, 0, 8)
    for piece in pieces:  # None: an absent piece
        e.int(len(piece or b""), 0, 300).bytes(piece or b"").bool(piece is not None)
    e.int(capacity, 0, 3)
    return e.data()


PATH_SEEDS = {
    "drive_folder_extension": path_seed(b"C:\\dir\\file.mot"),
    "bare": path_seed(b"file", empty_extension=True),
    "final_dot": path_seed(b"file.", extension=b".mot"),
    "dot_in_folder": path_seed(b"dir.x\\file", capacity=SHORT),
    "two_dots": path_seed(b"a.b.c", extension=b""),
    "stem_ends_in_dot": path_seed(b"a..b"),
    "hyo_folder": path_seed(b"dir\\\x95\x5c\\\x95\x5c.mot", pieces=(b"", b"\x95\x5c", b"f", b"mot")),
    "lone_lead_at_end": path_seed(b"file\x81", empty_extension=True,
                                  pieces=(None, b"dir:", b"a.\x81", None)),
    "double_byte_dot": path_seed(b"\x81\x81.", pieces=(b"", b"", b"\x81\x81.", b"")),
    "colon_after_backslash": path_seed(b"a\\b:c"),
    "dot_before_colon": path_seed(b"a.b:c", capacity=SHORT),
    "slash_rules": path_seed(b"dir/sub\\file.txt", slash=True, pieces=(b"", b"out/", b"f.", b"")),
    "empty": path_seed(b"", extension=b"MOT", pieces=(b"", b"", b"", b"")),
}


# fuzz_text_reader: writing flag, block size, then for reading the file's bytes and the read
# sizes, for writing the text (NUL bytes cut it into write_text calls).
def block(e, size):
    if size == 65536:
        return e.int(0, 0, 7)
    return e.int(1, 0, 7).int(size, 1, 600)


def reader_seed(data, block_size, read_sizes):
    e = Encoder().bool(False)
    block(e, block_size)
    tail = Encoder()
    for size in read_sizes:
        kind = 0 if size <= 8 else 1 if size <= 600 else 2
        tail.int(kind, 0, 2).int(size, 1, (8, 600, 20000)[kind])
    tail_size = sum(len(b) for b in tail.back)
    remaining = len(data) + tail_size + 1
    if remaining > 255:
        remaining += 1
    e.int(len(data), 0, remaining).bytes(data)
    e.back += tail.back
    return e.data()


def writer_seed(text, block_size):
    e = Encoder().bool(True)
    block(e, block_size)
    return e.bytes(text).data()


TEXT_SEEDS = {
    "crlf": reader_seed(b"S00600004844521B\r\nS1130000285F245F2212226A000424290008237C2A\r\n"
                        b"S9030000FC\r\n", 600, [9998]),
    "lone_cr": reader_seed(b"S0\rS1\rS9\r", 4, [3, 2, 20000]),
    "ctrl_z_mid_line": reader_seed(b"S1\r\nS9\x1aafter\r\n", 65536, [1, 9998]),
    "cr_at_block_boundary": reader_seed(b"abc\r\ndef\r\n\r\n", 4, [5, 5, 5]),
    "last_line_without_lf": reader_seed(b"a\nbc", 1, [2, 2, 2]),
    "line_of_size_minus_one": reader_seed(b"x" * 599 + b"\n", 512, [600, 600]),
    "write_chunks": writer_seed(b"S0\n\x00\x00S1\r\nS9\n" + b"y" * 40 + b"\n\x00end", 3),
    "write_lf_at_block_end": writer_seed(b"abc\ndef\n\x00\n", 4),
}


def write(folder, seeds):
    path = ROOT / folder
    path.mkdir(parents=True, exist_ok=True)
    for name, data in seeds.items():
        (path / name).write_bytes(data)


write("path_names", PATH_SEEDS)
write("text_reader", TEXT_SEEDS)
