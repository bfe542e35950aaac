"""Every item kind and width, written and read by Python and by the C side."""

import pytest

import vok32
from conftest import listed, vok, write
from vok32 import Kind

LONG = "x" * 65535
CASES = [  # writer method, argument, kind, value read back
    ("user_mark", 199, Kind.USER_MARK, 199), ("phrase", 255, Kind.PHRASE_MARK, 255),
    ("flag", "yes", Kind.FLAG, True), ("flag", 0, Kind.FLAG, False),
    ("unsigned", 255, Kind.UNSIGNED_1, 255), ("unsigned", 65535, Kind.UNSIGNED_2, 65535),
    ("unsigned", 2**32 - 1, Kind.UNSIGNED_4, 2**32 - 1),
    ("signed", -255, Kind.SIGNED_1, -255), ("signed", 256, Kind.SIGNED_2, 256),
    ("signed", -(2**31), Kind.SIGNED_4, -(2**31)),
    ("string", b"", Kind.STRING_1, b""), ("string", b"a\0b\0", Kind.STRING_1, b"a\0b\0"),
    ("string", "é" * 128, Kind.STRING_2, "é".encode() * 128),
    ("string", LONG, Kind.STRING_2, LONG.encode()),
    ("utf8", "Grüße\0", Kind.UTF8_1, "Grüße\0"), ("utf8", b"\xff\xfe", Kind.UTF8_1, "\udcff\udcfe"),
    ("utf8", "\udcff" * 300, Kind.UTF8_2, "\udcff" * 300), ("utf8", LONG + "y", Kind.UTF8_4, LONG + "y"),
    ("safe", "abc", Kind.SAFE_1, 3), ("safe", b"\0" * 256, Kind.SAFE_2, 256),
    # items the writers never choose, copied as bytes: wide fields, odd flag and sign bytes
    ("item", b"\xd5\0\0\0\7", Kind.UNSIGNED_4, 7), ("item", b"\xd9\0\5\2", Kind.SIGNED_2, -5),
    ("item", b"\xca\7", Kind.FLAG, 7), ("item", b"\xcd\0\0", Kind.STRING_2, b""),
    ("item", b"\xe8\0\0\0\1a", Kind.UTF8_4, "a"),
]
BLOCK = write([case[:2] for case in CASES], 7, 70000)


def test_every_kind_and_width_reads_back_in_python_and_in_the_tool():
    assert vok("check", "-", data=BLOCK).startswith(b"ok: 25 items")
    items = list(vok32.Reader(BLOCK, 7, 70000))
    assert [tuple(item) for item in items] == listed(BLOCK)[0]
    assert list(vok32.Reader(vok("pack", "--json", data=vok("dump", "--json", "-", data=BLOCK)))) == items
    reader = vok32.Reader(BLOCK)  # and by kind: there is no typed reader of safe strings
    for (method, _, kind, value), item in zip(CASES, items, strict=True):
        assert (item.kind, item.value) == (kind, value) and reader.peek() == kind
        with pytest.raises(vok32.VokError) as wrong:  # a reader of another kind does not move
            reader.read_flag() if kind != Kind.FLAG else reader.read_phrase()
        assert wrong.value.offset == reader.position == item.offset
        assert getattr(reader, "read_" + method, lambda: next(reader).value)() == value
    assert reader.peek() == Kind.END and list(reader) == []
