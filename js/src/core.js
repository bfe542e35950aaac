// The WebAssembly module and the few helpers every part of the package
// needs: copying bytes in, reading statuses and strings out.  The module is
// loaded once, when the package is imported (top-level await).
import createVok32 from '../dist/vok32.mjs';

const moduleUrl = new URL('../dist/vok32.wasm', import.meta.url);

// Node reads the binary from disk (its fetch cannot read file: URLs); a
// browser fetches it beside this file.
async function wasmBinary() {
  if (typeof process !== 'undefined' && process.versions?.node) {
    const { readFile } = await import('node:fs/promises');
    return readFile(moduleUrl);
  }
  const response = await fetch(moduleUrl);
  if (!response.ok) throw new Error(`vok32: cannot load ${moduleUrl}: ${response.status}`);
  return new Uint8Array(await response.arrayBuffer());
}

export const wasm = await createVok32({ wasmBinary: await wasmBinary() });

// The heap's views change when memory grows: always read them from here.
let view = null;
export const heap = {
  get view() {
    if (view?.buffer !== wasm.HEAPU8.buffer) view = new DataView(wasm.HEAPU8.buffer);
    return view;
  },
  get u8() { return wasm.HEAPU8; },
  get u32() { return wasm.HEAPU32; },
  get i32() { return wasm.HEAP32; },
  get f32() { return wasm.HEAPF32; },
  get f64() { return wasm.HEAPF64; },
};

export const VOK_OK = 0;
export const VOK_END_OF_STREAM = 14;
const VOK_OLDER_VERSION = 8;
const VOK_NEWER_VERSION = 9;

// Whether an open's status lets the block be read: an older or newer
// version still can be.
export const readable = (status) =>
  status === VOK_OK || status === VOK_OLDER_VERSION || status === VOK_NEWER_VERSION;

function cString(address) {
  const u8 = heap.u8;
  let end = address;
  while (u8[end] !== 0) end++;
  return decoder.decode(u8.subarray(address, end));
}

export const decoder = new TextDecoder('utf-8', { fatal: false });
export const encoder = new TextEncoder();

export const statusName = (status) => cString(wasm._vokxStatusName(status));
export const statusText = (status) => cString(wasm._vokxStatusText(status));
export { cString };

// Memory of the module's allocator, freed by the caller.
export function alloc(size) {
  const address = wasm._malloc(Math.max(size, 1));
  if (address === 0) throw new RangeError('vok32: out of WebAssembly memory');
  return address;
}

// Copies bytes into the module's memory for the length of fn(address).
// One buffer is kept from call to call (records come one after another);
// a call made while it is in use gets memory of its own.
let scratch = { address: 0, size: 0, busy: false };
export function withBytes(bytes, fn) {
  const own = scratch.busy || bytes.length > 1 << 20;
  if (!own && scratch.size < bytes.length) {
    wasm._free(scratch.address);
    scratch = { address: alloc(Math.max(bytes.length, 4096)), size: Math.max(bytes.length, 4096) };
  }
  const address = own ? alloc(bytes.length) : scratch.address;
  if (!own) scratch.busy = true;
  try {
    heap.u8.set(bytes, address);
    return fn(address);
  } finally {
    if (own) wasm._free(address);
    else scratch.busy = false;
  }
}

// The class of every tag, asked of the library once.
export const classOfKind = Uint8Array.from({ length: 256 }, (_, kind) => wasm._vokxKindClass(kind));
export const CLASS_NAMES = ['invalid', 'flag', 'unsigned', 'signed', 'string', 'utf8', 'safe',
  'mark', 'phrase', 'end'];

// A refusal in the shape the tool and Python give it: message is the
// sentence alone, as in Python; toString() puts the path before it.
export class VokError extends Error {
  constructor({ status, path = '', offset = 0, block = 0, message }) {
    super(message);
    this.name = 'VokError';
    this.status = typeof status === 'number' ? statusName(status) : status;
    this.path = path;
    this.offset = offset;
    this.block = block;
  }

  toString() {
    return `${this.name}: ${this.status}: ${this.path ? `${this.path}: ` : ''}${this.message}`;
  }
}
