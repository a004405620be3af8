#!/usr/bin/env python3
"""The characters the program can show (usage: [-o FILE] SOURCE...): every character of a string or character literal
in the given C++ sources (comments skipped), plus U+0020-U+007E (numbers, file names and
anything typed), one "U+XXXX" a line, sorted. tools/make_font.sh makes the typeface of
them; the build hands the same list to tst_font, which fails when the typeface lacks one.
With --gb2312 instead of sources: GB2312 and U+FFFD, the characters of the typeface's
second face (the Chinese of a tape or a file name, and what a lossy decode puts for bytes
it cannot read).
"""
import re
import sys


def literal_characters(src):
    chars = set()
    i, n = 0, len(src)
    while i < n:
        c = src[i]
        if src.startswith("//", i):
            i = src.find("\n", i)
            i = n if i < 0 else i
        elif src.startswith("/*", i):
            i = src.index("*/", i + 2) + 2
        elif c == 'R' and src.startswith('R"', i) and (i == 0 or not (src[i-1].isalnum() or src[i-1] == '_')):
            delim = src[i + 2:src.index("(", i)]
            end = src.index(")" + delim + '"', i)
            chars.update(ch for ch in src[src.index("(", i) + 1:end] if ord(ch) > 0x7E)
            i = end + len(delim) + 2
        elif c in "\"'" and not (c == "'" and re.search(r"\b[0-9][0-9A-Za-z_']*$", src[:i])):
            j = i + 1
            while src[j] != c:
                j += 2 if src[j] == "\\" else 1
            chars.update(ch for ch in src[i + 1:j] if ord(ch) > 0x7E)
            i = j + 1
        else:
            i += 1
    return chars


args = sys.argv[1:]
out = sys.stdout
if args[:1] == ["-o"]:  # the build's form: the list into a file
    out = open(args[1], "w", encoding="ascii")
    args = args[2:]
chars = {chr(c) for c in range(0x20, 0x7F)}
if args == ["--gb2312"]:
    chars = {"\ufffd"}
    # GB2312's two-byte codes, as GB2312 itself and as GBK (the tape reader's) decode them:
    # the two differ at two marks (a middle dot, a dash) and GBK fills a few unused codes.
    for lead in range(0xA1, 0xF8):
        for trail in range(0xA1, 0xFF):
            for codec in ("gb2312", "gbk"):
                try:
                    chars.add(bytes((lead, trail)).decode(codec))
                except UnicodeDecodeError:
                    pass
    args = []
for name in sorted(args):
    with open(name, encoding="utf-8") as f:
        chars |= literal_characters(f.read())
for ch in sorted(chars):
    print("U+%04X" % ord(ch), file=out)
