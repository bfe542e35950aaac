"""Every item kind and width, written and read by Python and by the C side."""
import pytest

import vok32
from vok32 import Kind

LONG = "x" * 65535
# writer method, argument, the same item in the tool's notation, kind, value read back
CASES = [
    ("user_mark", 0, "mark 0", Kind.USER_MARK, 0),
    ("user_mark", 199, "mark 199", Kind.USER_MARK, 199),
    ("phrase", 255, "phrase 255", Kind.PHRASE_MARK, 255),
    ("flag", "yes", "flag true", Kind.FLAG, True),
    ("flag", 0, "flag false", Kind.FLAG, False),
    ("unsigned", 255, "u 255", Kind.UNSIGNED_1, 255),
    ("unsigned", 65535, "u 65535", Kind.UNSIGNED_2, 65535),
    ("unsigned", 2**32 - 1, "u 4294967295", Kind.UNSIGNED_4, 2**32 - 1),
    ("signed", -255, "s -255", Kind.SIGNED_1, -255),
    ("signed", 256, "s 256", Kind.SIGNED_2, 256),
    ("signed", -65536, "s -65536", Kind.SIGNED_4, -65536),
    ("signed", -(2**31), "s -2147483648", Kind.SIGNED_4, -(2**31)),
    ("string", b"", 'str ""', Kind.STRING_1, b""),
    ("string", b"a\0b\0", 'str "a\\x00b\\x00"', Kind.STRING_1, b"a\0b\0"),
    ("string", "é" * 128, 'str "' + "é" * 128 + '"', Kind.STRING_2, "é".encode() * 128),
    ("string", LONG, f'str "{LONG}"', Kind.STRING_2, LONG.encode()),
    ("utf8", "Grüße\0", 'utf8 "Grüße\\x00"', Kind.UTF8_1, "Grüße\0"),
    ("utf8", b"\xff\xfe", 'utf8 "\\xff\\xfe"', Kind.UTF8_1, "\udcff\udcfe"),
    ("utf8", "\udcff" * 300, 'utf8 "' + "\\xff" * 300 + '"', Kind.UTF8_2, "\udcff" * 300),
    ("utf8", LONG + "y", f'utf8 "{LONG}y"', Kind.UTF8_4, LONG + "y"),
    ("safe", "abc", "safe 3", Kind.SAFE_1, 3),
    ("safe", b"\0" * 256, "safe 256", Kind.SAFE_2, 256),
]
TYPED = {"user_mark": "read_user_mark", "phrase": "read_phrase", "flag": "read_flag",
         "unsigned": "read_unsigned", "signed": "read_signed", "string": "read_string",
         "utf8": "read_utf8"}


@pytest.fixture(scope="module")
def block():
    with vok32.Writer(7, 70000) as writer:
        for method, argument, *_ in CASES:
            getattr(writer, method)(argument)
        return writer.finish()


def test_python_and_the_tool_write_the_same_bytes(vok, block):
    notation = "stream type 7 version 70000\n" + "\n".join(case[2] for case in CASES)
    assert vok.run("pack", data=notation.encode()).stdout == block
    assert vok.run("check", "-", data=block).stdout.startswith(b"ok: 22 items")


def test_items_read_back_as_written_and_as_the_tool_lists_them(vok, block):
    items = list(vok32.Reader(block, 7, 70000))
    assert [(item.kind, item.value) for item in items] == [case[3:] for case in CASES]
    assert [tuple(item) for item in items] == vok.items(block)[0]
    assert [block[i.offset : i.offset + i.size] for i in items] == [
        vok.run("pack", data=f"stream type 0 version 0\n{case[2]}".encode()).stdout[8:-1]
        for case in CASES
    ]


def test_typed_readers_take_every_kind(block):
    reader = vok32.Reader(block)
    for method, _, _, kind, value in CASES:
        assert reader.peek() == kind
        read = getattr(reader, TYPED.get(method, ""), lambda: next(reader).value)
        assert read() == value
    assert reader.peek() == Kind.END and list(reader) == []


def test_items_the_writers_never_choose_read_back_faithfully(vok):
    notation = 'stream type 1 version:32 0\nu:32 7\ns:16 -5 sign=2\nflag 7\nstr:16 ""\nutf8:32 "a"'
    block = vok.run("pack", data=notation.encode()).stdout
    reader = vok32.Reader(block, 1, 0)
    items = list(reader)
    assert [(i.kind, i.value) for i in items] == [
        (Kind.UNSIGNED_4, 7), (Kind.SIGNED_2, -5), (Kind.FLAG, 7), (Kind.STRING_2, b""),
        (Kind.UTF8_4, "a")]
    with vok32.Writer(1, 0) as writer:  # and are copied as they stand
        for item in items:
            writer.item(block[item.offset : item.offset + item.size])
        assert writer.finish()[8:] == block[11:]  # the bodies: the headers differ
