"""Bad values, wrong reads and damaged blocks: a clear exception, never a crash."""
import pytest

import vok32
from vok32 import Status


def sample():
    with vok32.Writer(3, 1) as writer:
        writer.phrase(1)
        writer.unsigned(70000)
        writer.string(b"ab\0")
        writer.safe("abc")
        writer.utf8("é" * 100)
        writer.signed(-300)
        writer.flag(True)
        writer.user_mark(5)
        return writer.finish()


@pytest.mark.parametrize("call, error", [
    (lambda w: w.user_mark(200), vok32.VokError),
    (lambda w: w.user_mark(-1), ValueError),
    (lambda w: w.phrase(256), ValueError),
    (lambda w: w.unsigned(-1), ValueError),
    (lambda w: w.unsigned(2**32), ValueError),
    (lambda w: w.signed(2**31), ValueError),
    (lambda w: w.signed(-(2**31) - 1), ValueError),
    (lambda w: w.string(b"x" * 65536), vok32.VokError),
    (lambda w: w.safe("x" * 65536), ValueError),
    (lambda w: w.unsigned(1.0), TypeError),
    (lambda w: w.string(5), TypeError),
    (lambda w: w.item(b"\xd4\x01"), vok32.VokError),
    (lambda w: vok32.Writer(256, 0), ValueError),
    (lambda w: vok32.Writer(0, -1), ValueError),
    (lambda w: vok32.Reader(sample(), 3, 2**32), ValueError),
])
def test_values_out_of_range_are_refused_and_write_nothing(call, error):
    with vok32.Writer(3, 1) as writer:
        with pytest.raises(error):
            call(writer)
        assert writer.finish() == vok32.Writer(3, 1).finish()


@pytest.mark.parametrize("read, status, offset", [
    ("read_signed", Status.WRONG_TYPE, 8),
    ("read_string", Status.WRONG_TYPE, 8),
    ("read_utf8", Status.WRONG_TYPE, 8),
    ("read_flag", Status.UNEXPECTED, 8),
    ("read_user_mark", Status.WRONG_TYPE, 8),
])
def test_a_reader_of_another_kind_raises_and_does_not_move(read, status, offset):
    reader = vok32.Reader(sample(), 3, 1)
    with pytest.raises(vok32.VokError) as raised:
        getattr(reader, read)()
    error = raised.value
    assert (error.status, error.offset, reader.position) == (status, offset, offset)
    assert error.name == "VOK_" + status.name and error.text
    assert [reader.read_phrase(), reader.read_unsigned(), reader.read_string()] == [1, 70000, b"ab\0"]
    with pytest.raises(vok32.VokError, match="UNEXPECTED"):
        reader.read_string()  # a safe string has no content
    assert reader.skip_phrase() == vok32.Kind.USER_MARK and reader.read_user_mark() == 5
    with pytest.raises(vok32.VokError, match="END_OF_STREAM"):
        reader.read_user_mark()


def test_versions_open_and_other_headers_raise():
    assert vok32.Reader(sample(), 3, 2).version_status == Status.OLDER_VERSION
    assert vok32.Reader(bytearray(sample()), 3, 0).version_status == Status.NEWER_VERSION
    with pytest.raises(vok32.VokError) as raised:
        vok32.Reader(memoryview(sample()), 4, 1)
    assert raised.value.status == Status.WRONG_STREAM_TYPE
    with pytest.raises(TypeError):
        vok32.Reader("text", 3, 1)


def test_finished_or_abandoned_writers_refuse_further_items():
    writer = vok32.Writer(1, 1)
    writer.finish()
    with pytest.raises(vok32.VokError, match="NOT_ACTIVE"):
        writer.unsigned(1)
    with vok32.Writer(1, 1) as abandoned:
        abandoned.string(b"kept\0nowhere")
    with pytest.raises(vok32.VokError, match="NOT_ACTIVE"):
        abandoned.finish()


def walk(data):
    """Everything a reader offers, on any bytes: VokError is the only way out."""
    try:
        reader = vok32.Reader(data, 3, 1)
        list(reader)
        reader.reset()
        for read in ("skip_phrase", "read_phrase", "read_unsigned", "read_string",
                     "read_utf8", "read_signed", "read_flag", "read_user_mark"):
            getattr(reader, read)()
    except vok32.VokError as error:
        return error.status
    return Status.OK


def test_every_truncation_and_damaged_byte_gives_a_status():
    block = sample()
    for cut in range(len(block)):
        assert walk(block[:cut]) == Status.INVALID_STREAM
    for at in range(len(block)):
        for byte in (0x00, 0x09, 0x7F, 0xC8, 0xC9, 0xE1, 0xE8, 0xFF):
            walk(block[:at] + bytes([byte]) + block[at + 1 :])
