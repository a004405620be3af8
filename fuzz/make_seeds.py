#!/usr/bin/env python3
# Writes the seed corpora in fuzz/corpus/: a few small valid and near-valid inputs per
# target, so the fuzzer starts from the shapes the readers take.
import math
import pathlib
import struct
import zlib

root = pathlib.Path(__file__).resolve().parent / "corpus"


def write(target, name, data):
    folder = root / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data if isinstance(data, bytes) else data.encode())


money = {
    "integer": "12", "negative": "-12.25", "point-first": ".5", "point-last": "5.",
    "blanks": "  7 \t", "exponent": "1.5E+20", "small-exponent": "2.5e-4",
    "tie": "0.00005", "top": "922337203685477.5807", "past-top": "922337203685477.58075",
    "bottom": "-922337203685477.5808", "long-fraction": "0." + "3" * 40,
    "not-a-number": "12abc", "lone-point": ".", "lone-sign": "-", "comma": "1,000",
}
for name, text in money.items():
    write("fuzz_money", name, text)

doubles = {
    "tenth": [0.1, -0.1], "plain-edges": [1e15, 999999999999999.4, 1e-5, 9.99999999999999e-6],
    "extremes": [1.7976931348623157e308, 5e-324, 2.2250738585072014e-308, -0.0],
    "money": [922337203685477.5807, 123456789012345.6, 0.00025], "non-finite": [math.inf, math.nan],
}
for name, values in doubles.items():
    write("fuzz_numbertext", name, b"".join(struct.pack("<d", v) for v in values))

times_gbk, divide_gbk = "×".encode("gbk"), "÷".encode("gbk")
tapes = {
    "gbk": b"5\r\n+\r\n3\r\n" + times_gbk + b"\r\n2\r\n" + divide_gbk + b"\r\n",
    "utf8-bom": b"\xef\xbb\xbf3\r\n" + "×".encode() + b"\r\n4\r\n+\r\n",
    "exponent": b"1.5E+20\r\n+\r\n-2.5E-07\r\n-\r\n",
    "quoted": b'"12",+\r\n"3.5",-\r\n7\r\n',
    "not-numbers": b".\r\n+\r\n-\r\n" + times_gbk + b"\r\n12abc\r\n+\r\n",
    "lf-only": b"9\n-\n1\n+\n\n\n",
}
for name, data in tapes.items():
    write("fuzz_tape", name, data)


def record(body):
    return struct.pack("<II", len(body), zlib.crc32(body)) + body


def change(position, removed, inserted):
    return record(b"C" + struct.pack("<II", position, removed) + inserted.encode("utf-16-le"))


journal_header = b"TapeCalc journal 1\n"
keyed = change(0, 0, "5\n+\n") + change(4, 0, "3\n×\n")
journals = {
    "keyed": journal_header + keyed,
    "corrected-kept": journal_header + keyed + change(0, 1, "6") + record(b"K"),
    "cleared": journal_header + keyed + change(0, 8, ""),
    "torn": journal_header + keyed[:-3],
    "no-header": keyed,
}
for name, data in journals.items():
    write("fuzz_journal", name, data)


def wav(tag, channels, rate, bits, samples, extensible=False, extra=b""):
    block = channels * ((bits + 7) // 8)
    if extensible:
        fmt = struct.pack("<HHIIHHHHIH", 0xFFFE, channels, rate, rate * block, block, bits,
                          22, bits, 3, tag) + bytes.fromhex("000000001000800000aa00389b71")
    else:
        fmt = struct.pack("<HHIIHH", tag, channels, rate, rate * block, block, bits)
    body = extra + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", len(samples)) + samples
    return b"RIFF" + struct.pack("<I", 4 + len(body)) + b"WAVE" + body


tone16 = b"".join(struct.pack("<h", int(12000 * math.sin(i / 3))) for i in range(32))
write("fuzz_wav", "int16-mono", wav(1, 1, 22050, 16, tone16))
write("fuzz_wav", "uint8-stereo", wav(1, 2, 8000, 8, bytes(range(0, 256, 8))))
write("fuzz_wav", "int24", wav(1, 1, 44100, 24, bytes.fromhex("feffff563412") * 4))
write("fuzz_wav", "int32-quad", wav(1, 4, 96000, 32, bytes(range(64))))
write("fuzz_wav", "float-stereo",
      wav(3, 2, 48000, 32, b"".join(struct.pack("<f", v) for v in [0.5, -0.25, 1.0, -1.0] * 4)))
write("fuzz_wav", "extensible", wav(1, 2, 22050, 16, tone16, extensible=True))
write("fuzz_wav", "list-odd-chunk", wav(1, 1, 22050, 16, tone16, extra=b"LIST\x03\x00\x00\x00abc\x00"))
