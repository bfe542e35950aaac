// Blocks and items: framing with vokxInspect, walking with vokxNextItem
// (through the glue's tape), and writing through the handle functions.
import {
  wasm, heap, alloc, withBytes, statusName, decoder, encoder, classOfKind, CLASS_NAMES, VokError,
  VOK_OK, VOK_END_OF_STREAM, readable,
} from './core.js';

const VOK_START = 200;
const SIGNED = CLASS_NAMES.indexOf('signed');
const DEFAULT_MAX_BLOCK = 16 * 1024 * 1024;
const INFO_SIZE = 16; // vokxBlockInfo: length, type (padded), version, body
const STREAM_SIZE = 16; // vokStream on wasm32

// The frame of the block at the start of bytes.
export function inspect(bytes) {
  return withBytes(bytes, (address) => inspectAt(address, bytes.length));
}

function inspectAt(address, size) {
  const info = alloc(INFO_SIZE);
  try {
    const status = wasm._vokxInspect(address, size, info);
    const u32 = heap.u32;
    return {
      status: statusName(status),
      length: u32[info >> 2],
      type: heap.u8[info + 4],
      version: u32[(info >> 2) + 2],
      body: u32[(info >> 2) + 3],
    };
  } finally {
    wasm._free(info);
  }
}

// Whether the block at address walks item by item to its end marker.
function walksToEnd(address, size, type, version) {
  const stream = alloc(STREAM_SIZE);
  try {
    const opened = wasm._vokxOpen(stream, address, size, type, version);
    if (!readable(opened)) return false;
    return wasm._vokjsWalkToEnd(stream) === VOK_END_OF_STREAM;
  } finally {
    wasm._free(stream);
  }
}

// A place where a block may start: its frame accepted within maxBlock, of
// the type asked for, and its items walking to the end marker.
function soundAt(address, size, maxBlock, type) {
  const frame = inspectAt(address, size);
  if (frame.status !== 'VOK_OK' || frame.length > maxBlock) return null;
  if (type !== undefined && frame.type !== type) return null;
  return walksToEnd(address, frame.length, frame.type, frame.version) ? frame : null;
}

// Where reading goes on after damage at `from`: the first later place where
// a sound block starts that is followed by another or by the end of input.
function resume(address, size, from, maxBlock, type) {
  const u8 = heap.u8;
  for (let at = from + 1; at + 4 < size; at++) {
    if (u8[address + at + 4] !== VOK_START) continue;
    const frame = soundAt(address + at, size - at, maxBlock, type);
    if (!frame) continue;
    const next = at + frame.length;
    if (next === size || soundAt(address + next, size - next, maxBlock, type)) return at;
  }
  return size;
}

// Every block of a sequence, in order, each as
//   { offset, length, type, version, status }
// status 'VOK_OK' for a sound block, else what is wrong with it; a block
// whose frame is damaged comes with damaged: true and the bytes up to the
// place reading went on as length.  Reading goes past damage by the same
// rule as `vok check` (see docs/tool.md).  A generator, so that a page can
// list a large file in steps.
export function* scanBlocks(bytes, { maxBlock = DEFAULT_MAX_BLOCK, type } = {}) {
  const size = bytes.length;
  const address = alloc(size);
  try {
    heap.u8.set(bytes, address);
    let offset = 0;
    while (offset < size) {
      const frame = inspectAt(address + offset, size - offset);
      const fits = frame.status === 'VOK_OK' && frame.length <= maxBlock &&
        (type === undefined || frame.type === type);
      if (fits) {
        const sound = walksToEnd(address + offset, frame.length, frame.type, frame.version);
        yield {
          offset, length: frame.length, type: frame.type, version: frame.version,
          status: sound ? 'VOK_OK' : 'VOK_INVALID_STREAM',
        };
        offset += frame.length;
        continue;
      }
      const next = resume(address, size, offset, maxBlock, type);
      const status = frame.status === 'VOK_OK'
        ? (frame.length > maxBlock ? 'VOK_INVALID_STREAM' : 'VOK_WRONG_STREAM_TYPE')
        : frame.status;
      yield { offset, length: next - offset, type: frame.type, version: frame.version, status,
        damaged: true };
      offset = next;
    }
  } finally {
    wasm._free(address);
  }
}

export const blocks = (bytes, options) => [...scanBlocks(bytes, options)];

// The items of one block after its header, each as vokxNextItem describes
// it: { offset, size, tag, class, value, length, text | bytes }.  The end
// marker comes last, as class 'end'; a walk that fails stops with
// { offset, class: 'invalid', status } at the item that failed.
export function items(block, { start = 0, count = Infinity } = {}) {
  return withBytes(block, (address) => {
    const frame = inspectAt(address, block.length);
    if (frame.status !== 'VOK_OK') {
      throw new VokError({ status: frame.status, message: 'not a whole, well-formed block' });
    }
    const stream = alloc(STREAM_SIZE + 2);
    const list = [];
    try {
      wasm._vokxOpen(stream, address, frame.length, frame.type, frame.version);
      const statusAt = stream + STREAM_SIZE;
      let status = VOK_OK;
      let seen = 0;
      while (status === VOK_OK && seen < start + count) {
        const steps = wasm._vokjsWalk(stream, Math.min(4096, start + count - seen), statusAt);
        status = heap.u8[statusAt] | (heap.u8[statusAt + 1] << 8);
        const tape = wasm._vokjsTape() >> 2;
        const u32 = heap.u32;
        const end = u32[(stream >> 2) + 2]; // the stream's position: where the last one ends
        for (let i = 0, w = tape; i < steps; i++, seen++, w += 4) {
          const next = i + 1 < steps ? u32[w + 5] : end;
          if (seen >= start) list.push(describe(u32, w, next));
        }
        if (steps === 0) break;
      }
      if (status === VOK_END_OF_STREAM && seen >= start && seen < start + count) {
        list.push({ offset: frame.length - 1, size: 1, tag: 201, class: 'end' });
      } else if (status !== VOK_OK && status !== VOK_END_OF_STREAM) {
        const position = heap.u32[(stream >> 2) + 2];
        list.push({ offset: position, size: 0, tag: block[position], class: 'invalid',
          status: statusName(status) });
      }
      return list;
    } finally {
      wasm._free(stream);
    }
  });
}

// An item of the walk's tape (kind, offset, value or length, text address)
// that ends where the next begins.
function describe(u32, w, end) {
  const tag = u32[w];
  const kind = CLASS_NAMES[classOfKind[tag]];
  const item = { offset: u32[w + 1], size: end - u32[w + 1], tag, class: kind };
  if (kind === 'signed') item.value = u32[w + 2] | 0;
  else if (kind === 'safe') item.length = u32[w + 2];
  else if (kind === 'string' || kind === 'utf8') {
    const content = heap.u8.subarray(u32[w + 3], u32[w + 3] + u32[w + 2]);
    item.length = content.length;
    if (kind === 'utf8') item.text = decoder.decode(content);
    else item.bytes = content.slice();
  } else item.value = u32[w + 2];
  return item;
}

// Calls visit(tag, offset, value) for every item of the blocks that follow
// one another from the start of bytes, their end markers included (value:
// the block's length), offsets from the start of bytes; value is the
// number (signed for a signed item), the flag byte, the mark, or a
// string's length.  The walk stays
// in WebAssembly and hands items over in batches, for scans of whole files.
// Stops at the end or at the first block that does not frame or walk, and
// returns { items, end, status }: end is where it stopped.
export function forEachItem(bytes, visit) {
  const address = alloc(bytes.length + 12);
  const at = address + bytes.length + (4 - (bytes.length % 4)) % 4;
  try {
    heap.u8.set(bytes, address);
    heap.u32[at >> 2] = 0;
    let count = 0;
    let status = VOK_OK;
    while (status === VOK_OK) {
      const steps = wasm._vokjsWalkBlocks(address, bytes.length, at, 1 << 14, at + 4);
      status = heap.u8[at + 4] | (heap.u8[at + 5] << 8);
      // Read as signed words, which stay small integers in V8; unsigned
      // values are made so only where they are.
      const i32 = heap.i32;
      for (let w = wasm._vokjsTape() >> 2, end = w + steps * 4; w < end; w += 4) {
        const tag = i32[w];
        const value = i32[w + 2];
        visit(tag, i32[w + 1] >>> 0, value >= 0 || classOfKind[tag] === SIGNED ? value : value >>> 0);
      }
      count += steps;
      if (steps === 0 && status === VOK_OK) break;
    }
    return { items: count, end: heap.u32[at >> 2], status: statusName(status) };
  } finally {
    wasm._free(address);
  }
}

// A writer dropped before finish() gives its buffer and handle back when
// it is collected.
const writers = new FinalizationRegistry((stream) => {
  if (wasm._vokCloseStream(stream) === VOK_OK) wasm._vokDestroyStream(wasm._vokGetData(stream));
  wasm._free(stream);
});

// Writes one block through a vokStream handle: new Writer(type, version),
// then one call per item, then finish() for the block's bytes.
export class Writer {
  #stream;

  constructor(type, version = 0) {
    this.#stream = alloc(STREAM_SIZE);
    heap.u8.fill(0, this.#stream, this.#stream + STREAM_SIZE);
    this.#check(wasm._vokCreateStream(this.#stream, type, version));
    writers.register(this, this.#stream, this);
  }

  // Numbers outside an item's range are refused before they reach the
  // library, which would otherwise see them cut to 32 bits.
  #number(value, low, high) {
    if (!Number.isInteger(value) || value < low || value > high) {
      throw new RangeError(`vok32: ${value} is not an integer from ${low} to ${high}`);
    }
    return value;
  }

  #live() {
    if (this.#stream === 0) throw new TypeError('vok32: the writer has finished');
    return this.#stream;
  }

  #check(status) {
    if (status !== VOK_OK) throw new VokError({ status, message: 'the writer refused' });
    return this;
  }

  mark(mark) {
    return this.#check(wasm._vokWriteUserMark(this.#live(), this.#number(mark, 0, 255)));
  }
  phrase(phrase) {
    return this.#check(wasm._vokWritePhraseMark(this.#live(), this.#number(phrase, 0, 255)));
  }
  flag(flag) { return this.#check(wasm._vokWriteFlag(this.#live(), flag ? 1 : 0)); }
  signed(value) {
    return this.#check(wasm._vokWriteSigned(this.#live(), this.#number(value, -(2 ** 31), 2 ** 31 - 1)));
  }
  unsigned(value) {
    return this.#check(wasm._vokWriteUnsigned(this.#live(), this.#number(value, 0, 2 ** 32 - 1)));
  }
  safe(length) {
    return this.#check(wasm._vokxWriteSafeString(this.#live(), this.#number(length, 0, 2 ** 32 - 1)));
  }
  string(bytes) { return this.#text(wasm._vokxWriteString, bytes); }
  utf8(text) { return this.#text(wasm._vokxWriteUTF8String, encoder.encode(text)); }

  #text(write, bytes) {
    return this.#check(withBytes(bytes, (address) => write(this.#live(), address, bytes.length)));
  }

  // The finished block; the writer cannot be used after.
  finish() {
    const stream = this.#live();
    writers.unregister(this);
    try {
      this.#check(wasm._vokCloseStream(stream));
      const data = wasm._vokGetData(stream);
      const block = heap.u8.slice(data, data + wasm._vokGetLength(stream));
      wasm._vokDestroyStream(data);
      return block;
    } finally {
      wasm._free(stream);
      this.#stream = 0;
    }
  }
}
