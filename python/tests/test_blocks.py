"""Sequences of blocks, and random streams compared with the tool's listing."""
import io
import os
import random
import threading

import pytest

import vok32
from conftest import listed, write

SEQUENCE = [write(items, type, 65536) for type, items in enumerate(
    ([], [("unsigned", 5)], [("unsigned", 300), ("unsigned", 70000)]), start=1)]
JOINED = b"".join(SEQUENCE)  # blocks of 12, 14 and 20 bytes


def test_blocks_of_bytes_and_files():
    assert list(vok32.blocks(io.BytesIO(JOINED))) == SEQUENCE == list(vok32.blocks(memoryview(JOINED)))
    assert vok32.inspect(bytearray(SEQUENCE[2])) == vok32.BlockInfo(20, 3, 65536, 11)
    assert list(vok32.blocks(b"")) == []


@pytest.mark.parametrize("damaged, status, offset", [
    (JOINED[:-1], vok32.Status.NEED_MORE, 26),
    (JOINED + b"\0\0\0", vok32.Status.NEED_MORE, 46),
    (JOINED[:16] + b"\xc9" + JOINED[17:], vok32.Status.INVALID_STREAM, 12),
    (JOINED + b"\0\0\0\x08", vok32.Status.INVALID_STREAM, 46),
], ids=range(4))
def test_blocks_stop_at_a_damaged_or_partial_block_naming_its_offset(damaged, status, offset):
    taken = []
    with pytest.raises(vok32.VokError) as raised:
        taken.extend(vok32.blocks(io.BytesIO(damaged)))  # keeps what came before the error
    assert (raised.value.status, raised.value.offset) == (status, offset)
    assert b"".join(taken) == JOINED[:offset]
    with pytest.raises(vok32.VokError):
        vok32.inspect(damaged[offset:])


@pytest.mark.parametrize("buffering", [-1, 0], ids=["buffered", "raw"])
def test_blocks_of_a_pipe_come_as_they_arrive(buffering):
    """A block is yielded once it is whole, without waiting for what follows."""
    read_end, write_end = os.pipe()
    taken = []
    with os.fdopen(read_end, "rb", buffering=buffering) as source:
        try:
            iterator = vok32.blocks(source)
            os.write(write_end, SEQUENCE[0] + SEQUENCE[1][:5])
            reader = threading.Thread(target=lambda: taken.append(next(iterator)), daemon=True)
            reader.start()
            reader.join(10)
            assert taken == [SEQUENCE[0]]
            os.write(write_end, SEQUENCE[1][5:])
        finally:
            os.close(write_end)
        assert list(iterator) == [SEQUENCE[1]]


def test_partial_and_trailing_bytes():
    with pytest.raises(vok32.VokError) as raised:
        vok32.inspect(JOINED[:5])
    assert (raised.value.status, raised.value.needed) == (vok32.Status.NEED_MORE, 12)
    with pytest.raises(vok32.VokError) as raised:
        vok32.inspect(JOINED[:3])
    assert raised.value.needed is None
    with pytest.raises(vok32.VokError) as raised:
        vok32.Reader(JOINED)
    assert (raised.value.status, raised.value.offset) == (vok32.Status.INVALID_STREAM, 12)
    assert list(vok32.Reader(JOINED, allow_trailing=True)) == []


def random_pieces(rng, data):
    cuts = sorted(rng.sample(range(1, len(data)), rng.randrange(len(data) // 3)))
    return [data[a:b] for a, b in zip([0] + cuts, cuts + [len(data)])]


def test_feeder_gives_whole_blocks_however_they_arrive():
    rng = random.Random(3)
    ways = [[JOINED[i:i + 1] for i in range(len(JOINED))], [JOINED]]
    ways += [random_pieces(rng, JOINED) for _ in range(50)]
    for pieces in ways:
        feeder, taken = vok32.Feeder(max_block=20), []  # the largest block's length
        for piece in pieces:
            feeder.feed(memoryview(piece))
            taken.extend(feeder)
        assert taken == SEQUENCE


@pytest.mark.parametrize("bad, max_block, offset", [
    (b"\0\0\0\x08", 1 << 24, 46),        # below the smallest block
    (b"\0\0\1\0", 255, 46),              # above max_block
    (b"\0\0\0\x0c\xc9", 1 << 24, 46),    # no start marker
], ids=range(3))
@pytest.mark.parametrize("at_once", [False, True])
def test_feeder_refuses_a_bad_length_after_every_block_before_it(bad, max_block, offset, at_once):
    feeder, taken = vok32.Feeder(max_block), []
    with pytest.raises(vok32.VokError) as raised:
        for piece in [JOINED + bad] if at_once else [JOINED, *(bytes([b]) for b in bad)]:
            feeder.feed(piece)
            for block in feeder:
                taken.append(block)
    assert (raised.value.status, raised.value.offset) == (vok32.Status.INVALID_STREAM, offset)
    assert taken == SEQUENCE
    with pytest.raises(vok32.VokError):  # unusable from now on
        feeder.feed(SEQUENCE[0])


def random_stream(rng):
    """Random items, with numbers and lengths near the width limits likely."""
    edge = lambda: rng.choice((0, 255, 256, 65535, 65536, 2**31, 2**32 - 1)) + rng.randint(-1, 0)
    text = lambda: bytes(rng.choices(b"az\0\x7f\xc3\xa9\xff", k=rng.choice((0, 3, 255, 300))))
    writes = [
        ("user_mark", lambda: rng.randrange(200)), ("phrase", lambda: rng.randrange(256)),
        ("flag", lambda: rng.random() < 0.5), ("unsigned", lambda: max(edge(), 0)),
        ("signed", lambda: rng.choice((1, -1)) * min(max(edge(), 0), 2**31 - 1)),
        ("string", text), ("utf8", lambda: text().decode("latin-1")), ("utf8", text),
        ("safe", text),
    ]
    items = [(method, value()) for method, value in rng.choices(writes, k=rng.randrange(12))]
    return write(items, rng.randrange(256), max(edge(), 0))


def test_random_streams_read_as_the_tool_lists_them():
    rng = random.Random(15)
    streams = [random_stream(rng) for _ in range(3000)]
    for stream, items in zip(streams, listed(b"".join(streams)), strict=True):
        read = list(vok32.Reader(stream))
        assert [tuple(item) for item in read] == items
        for item in read:  # the class is the kind without its width
            name = item.kind.name
            assert item.kind_class.name == {"PHRASE_MARK": "PHRASE"}.get(name, name.rstrip("_124"))
