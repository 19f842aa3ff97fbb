#!/usr/bin/env python3
"""Writes src/platform/Cp932Table.cpp: code page 932 as glibc's iconv converts it.

The page's C library has no CP932 converter (its SHIFT_JIS maps several rows differently), so
the player carries the table itself. It is generated once, here, from glibc; a desktop test
checks it against glibc again over every code.

Usage: tools/make-cp932-table.py > src/platform/Cp932Table.cpp
"""
import ctypes
import ctypes.util

libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
libc.iconv_open.restype = ctypes.c_void_p
libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
libc.iconv.restype = ctypes.c_size_t
libc.iconv.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t),
                       ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t)]


def Converter(to, frm):
    handle = libc.iconv_open(to, frm)
    if handle == ctypes.c_void_p(-1).value:
        raise SystemExit("iconv cannot convert %s to %s" % (frm, to))

    def Convert(data):
        libc.iconv(handle, None, None, None, None)
        src = ctypes.c_char_p(data)
        left = ctypes.c_size_t(len(data))
        out = ctypes.create_string_buffer(16)
        dst = ctypes.c_char_p(ctypes.addressof(out))
        room = ctypes.c_size_t(16)
        if libc.iconv(handle, ctypes.byref(src), ctypes.byref(left), ctypes.byref(dst), ctypes.byref(room)) \
                == ctypes.c_size_t(-1).value or left.value != 0:
            return None
        return out.raw[:16 - room.value]
    return Convert


decode = Converter(b"UTF-32LE", b"CP932")
encode = Converter(b"CP932", b"UTF-32LE")

LEADS = list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD))
TRAILS = range(0x40, 0xFD)
NONE = 0xFFFD  # no code of the page decodes to it


def Unicode(data):
    out = decode(data)
    if out is None or len(out) != 4:
        return NONE
    return int.from_bytes(out, "little")


def Literal(points):
    # Every code of the page lies in the Basic Multilingual Plane: one UTF-16 unit each.
    assert all(p < 0x10000 for p in points)
    return 'u"' + "".join("\\x%04X" % p for p in points) + '"'


singles = [Unicode(bytes([b])) for b in range(256)]
rows = [[Unicode(bytes([lead, trail])) for trail in TRAILS] for lead in LEADS]

# What decoding gives back unless glibc encodes the character to another code (the page has
# duplicates) or encodes a character that no code decodes to.
first = {}
for b, p in enumerate(singles):
    if p != NONE:
        first.setdefault(p, b)
for lead, row in zip(LEADS, rows):
    for trail, p in zip(TRAILS, row):
        if p != NONE:
            first.setdefault(p, lead << 8 | trail)
exceptions = []
for p in range(0x10000):
    if 0xD800 <= p < 0xE000:
        continue
    out = encode(p.to_bytes(4, "little"))
    code = None if out is None else int.from_bytes(out, "big")
    if code != first.get(p):
        exceptions.append((p, -1 if code is None else code))

print("// Code page 932 as glibc's iconv converts it; written by tools/make-cp932-table.py, do not edit.")
print('#include "platform/Cp932.h"')
print()
print("namespace Cp932 {")
print()
print("// clang-format off")
print("const char16_t SingleBytes[] =")
for i in range(0, 256, 32):
    print("    " + Literal(singles[i:i + 32]))
print("    ;")
print()
print("// One row a lead byte (81-9F, E0-FC), one unit a trail byte (40-FC); U+FFFD where none.")
print("const char16_t* const DoubleBytes[] = {")
for lead, row in zip(LEADS, rows):
    print("    // %02X" % lead)
    for i in range(0, len(row), 32):
        print("    " + Literal(row[i:i + 32]) + ("," if i + 32 >= len(row) else ""))
print("};")
print()
print("// Characters that encode otherwise than to the first code that decodes to them (-1: not at all).")
print("const EncodeException EncodeExceptions[] = {")
for i in range(0, len(exceptions), 4):
    print("    " + " ".join("{0x%04X, %s}," % (u, "-1" if c < 0 else "0x%X" % c) for u, c in exceptions[i:i + 4]))
print("};")
print("const std::size_t EncodeExceptionCount = sizeof EncodeExceptions / sizeof EncodeExceptions[0];")
print("// clang-format on")
print()
print("}  // namespace Cp932")
