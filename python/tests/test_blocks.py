"""Sequences of blocks, and random streams compared with the tool's listing."""
import io
import random

import pytest

import vok32


def block(stream_type, *numbers):
    with vok32.Writer(stream_type, 65536) as writer:
        for number in numbers:
            writer.unsigned(number)
        return writer.finish()


SEQUENCE = [block(1), block(2, 5), block(3, 300, 70000)]
JOINED = b"".join(SEQUENCE)


@pytest.mark.parametrize("source", [JOINED, bytearray(JOINED), memoryview(JOINED)], ids=repr)
def test_blocks_of_bytes_and_files(source, tmp_path):
    path = tmp_path / "blocks"
    path.write_bytes(source)
    with open(path, "rb") as file:
        assert list(vok32.blocks(file)) == SEQUENCE == list(vok32.blocks(source))
    assert [vok32.inspect(b) for b in SEQUENCE][2] == vok32.BlockInfo(20, 3, 65536, 11)
    assert list(vok32.blocks(b"")) == []


@pytest.mark.parametrize("damage, status, offset", [
    (lambda data: data[:-1], vok32.Status.NEED_MORE, 26),
    (lambda data: data + b"\0\0\0", vok32.Status.NEED_MORE, 46),
    (lambda data: data[:16] + b"\xc9" + data[17:], vok32.Status.INVALID_STREAM, 12),
    (lambda data: data + b"\0\0\0\x08", vok32.Status.INVALID_STREAM, 46),
])
def test_blocks_stop_at_a_damaged_or_partial_block_naming_its_offset(damage, status, offset):
    taken = []
    with pytest.raises(vok32.VokError) as raised:
        for data in vok32.blocks(io.BytesIO(damage(JOINED))):
            taken.append(data)
    assert (raised.value.status, raised.value.offset) == (status, offset)
    assert taken == SEQUENCE[: len(taken)] and sum(map(len, taken)) == offset
    with pytest.raises(vok32.VokError):
        vok32.inspect(damage(JOINED)[offset:])


def random_stream(rng):
    """A stream of random items, values near the width limits made likely."""
    edges = [0, 1, 255, 256, 65535, 65536, 2**31 - 1, 2**31, 2**32 - 1]
    number = lambda: rng.choice(edges) + rng.randint(-1, 1) if rng.random() < 0.5 else rng.getrandbits(32)
    text = lambda: bytes(rng.choice(b"az\0\x7f\xc3\xa9\xff") for _ in range(rng.choice((0, 3, 300))))
    writes = [
        lambda w: w.user_mark(rng.randrange(200)),
        lambda w: w.phrase(rng.randrange(256)),
        lambda w: w.flag(rng.random() < 0.5),
        lambda w: w.unsigned(min(max(number(), 0), 2**32 - 1)),
        lambda w: w.signed(min(max(number() - 2**31 * rng.randint(0, 1), -(2**31)), 2**31 - 1)),
        lambda w: w.string(text()),
        lambda w: w.utf8(text() if rng.random() < 0.5 else text().decode("latin-1")),
        lambda w: w.safe(text()),
    ]
    with vok32.Writer(rng.randrange(256), rng.choice(edges)) as writer:
        for _ in range(rng.randrange(12)):
            rng.choice(writes)(writer)
        return writer.finish()


def test_random_streams_read_as_the_tool_lists_them(vok):
    rng = random.Random(15)
    streams = [random_stream(rng) for _ in range(3000)]
    listed = vok.items(b"".join(streams[:2]), check=False)
    if len(listed) == 2:  # the tool lists a whole sequence at once
        listed = vok.items(b"".join(streams))
    else:
        listed = [vok.items(stream)[0] for stream in streams]
    for stream, items in zip(streams, listed):
        assert [tuple(item) for item in vok32.Reader(stream)] == items
