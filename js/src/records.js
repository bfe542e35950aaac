// Records by schema: the one loader (vokxSchemaParse) reads the schema
// file, the engine reads and writes records, and values cross as words of
// the glue's tape, never as JSON text on the way out.
import {
  wasm, heap, alloc, withBytes, cString, decoder, encoder, VokError, VOK_OK, readable,
} from './core.js';

const KIND = {
  flag: 1, unsigned: 2, signed: 3, string: 4, utf8: 5, safe: 6,
  unsigned64: 16, signed64: 17, float32: 18, float64: 19, enum: 20, timestamp: 21,
};
const KIND_NAMES = Object.fromEntries(Object.entries(KIND).map(([k, v]) => [v, k]));
const OPTIONAL = 1;
const REPEATED = 2;
const ERROR_SIZE = 264; // vokxRecordError on wasm32 (checked in the glue)
const FIRST_TEXTUAL = -62135596800000; // 0001-01-01T00:00:00.000Z
const LAST_TEXTUAL = 253402300799999; // 9999-12-31T23:59:59.999Z
const TWO_32 = 4294967296;

function refusal(errorAddress, status, block = 0) {
  return new VokError({
    status, block,
    offset: heap.u32[(errorAddress >> 2) + 1],
    path: cString(errorAddress + 8),
    message: cString(errorAddress + 104),
  });
}

// 64-bit words as a Number where it is exact, else a BigInt.
function unsigned64(lo, hi) {
  return hi < 0x200000 ? hi * TWO_32 + lo : (BigInt(hi) << 32n) | BigInt(lo);
}
function signed64(lo, hi) {
  const high = hi | 0;
  if (high >= -0x200000 && high < 0x200000) return high * TWO_32 + lo;
  return BigInt.asIntN(64, (BigInt(hi) << 32n) | BigInt(lo));
}

// The JavaScript value of a field's value from its 8 bytes: lo and hi as
// 32-bit words, and the float the kind may name, read by the caller.
function valueFrom(field, lo, hi, float) {
  switch (field.kind) {
    case KIND.flag: return lo !== 0;
    case KIND.signed: return lo | 0;
    case KIND.unsigned64: return unsigned64(lo, hi);
    case KIND.signed64: return signed64(lo, hi);
    case KIND.float32:
    case KIND.float64: return float;
    case KIND.enum: return field.names.get(lo) ?? lo;
    case KIND.timestamp: {
      const ms = signed64(lo, hi);
      return typeof ms === 'number' && ms >= FIRST_TEXTUAL && ms <= LAST_TEXTUAL ? new Date(ms) : ms;
    }
    default: return lo; // unsigned, safe (its length)
  }
}

// A value at any 4-aligned address (a schema document packs its tables).
function valueAt(field, at) {
  const view = heap.view;
  const float = field.kind === KIND.float32 ? view.getFloat32(at, true) : view.getFloat64(at, true);
  return valueFrom(field, view.getUint32(at, true), view.getUint32(at + 4, true), float);
}

function readFields(address, count) {
  const fields = [];
  for (let i = 0; i < count; i++) {
    const at = address + i * 24;
    const w = at >> 2;
    const u32 = heap.u32;
    const field = {
      name: cString(u32[w]), mark: u32[w + 1], kind: u32[w + 2], flags: u32[w + 3], max: u32[w + 4],
      names: new Map(), hasDefault: false, default: undefined,
    };
    field.kindName = KIND_NAMES[field.kind];
    field.repeated = (field.flags & REPEATED) !== 0;
    const detail = u32[w + 5];
    if (detail !== 0) {
      const d = detail >> 2;
      for (let v = 0; v < u32[d + 1]; v++) {
        const entry = (u32[d] >> 2) + v * 2;
        field.names.set(u32[entry + 1], cString(u32[entry]));
      }
      field.hasDefault = u32[d + 2] !== 0;
      if (field.hasDefault) {
        const text = heap.u8.slice(u32[d + 6], u32[d + 6] + u32[d + 7]);
        field.default = field.kind === KIND.string ? text
          : field.kind === KIND.utf8 ? decoder.decode(text) : valueAt(field, detail + 16);
      }
    }
    fields.push(field);
  }
  return fields;
}

// What a field reads as when a record lacks it.
function absent(field) {
  if (field.repeated) return [];
  if (!field.hasDefault) return null;
  return field.default instanceof Uint8Array ? field.default.slice() : field.default;
}

function emptyLevel(fields) {
  const level = {};
  for (const field of fields) level[field.name] = absent(field);
  return level;
}

// A value as the JSON text the engine's parser reads (vokxValueParse), for
// the values the encoder hands over: numbers exactly, -0 kept, Dates as
// their milliseconds, the non-finite floats by their words.
function jsonText(value) {
  switch (typeof value) {
    case 'number':
      if (Number.isFinite(value)) return Object.is(value, -0) ? '-0.0' : String(value);
      return Number.isNaN(value) ? '"NaN"' : value > 0 ? '"Infinity"' : '"-Infinity"';
    case 'bigint': return String(value);
    case 'boolean': return value ? 'true' : 'false';
    default:
      if (value instanceof Date) return Number.isNaN(value.getTime()) ? 'null' : String(value.getTime());
      return JSON.stringify(value) ?? 'null';
  }
}

const HEX = /^(?:[0-9a-fA-F]{2})*$/;
const STRING_SHAPE = 'must be a string or {"hex": "<pairs of hex digits>"}';

// The bytes of a string or utf8 field's value, or null for another shape.
function textBytes(value) {
  if (typeof value === 'string') return encoder.encode(value);
  if (value instanceof Uint8Array) return value;
  if (value && typeof value === 'object' && Object.keys(value).length === 1 &&
      typeof value.hex === 'string' && HEX.test(value.hex)) {
    return Uint8Array.from(value.hex.match(/../g) ?? [], (pair) => parseInt(pair, 16));
  }
  return null;
}

// The steps of one record for the glue's encoder, with the texts they
// point to gathered in one buffer; a value of the wrong shape ends them
// with a refused step, so that the engine first refuses what comes before.
class Steps {
  words = [];
  texts = [];
  size = 0;
  where = [];
  refused = null;

  add(op, index, bytes, path) {
    this.words.push(op, index, this.size, bytes.length);
    this.texts.push(bytes);
    this.size += bytes.length;
    this.where.push(path);
  }

  refuse(path, status, message) {
    this.refused = { path, status, message };
    this.words.push(3, 0, 0, 0);
    this.where.push(path);
  }
}

const STEP_JSON = 0;
const STEP_TEXT = 1;
const STEP_GROUP = 2;
const HEADER_KEYS = new Set(['$type', '$version', '$offset', '$unknown']);

function isPlainObject(value) {
  return value !== null && typeof value === 'object' && !Array.isArray(value) &&
    !(value instanceof Date) && !(value instanceof Uint8Array);
}

// A schema's memory in the module goes back when the Schema is collected,
// or at once with free().
const schemas = new FinalizationRegistry((document) => wasm._vokxSchemaFree(document));

export class Schema {
  #document;

  constructor(document) {
    this.#document = document;
    schemas.register(this, document, this);
    const schema = wasm._vokxSchemaOf(document);
    this.address = schema;
    const u32 = heap.u32;
    const s = schema >> 2;
    this.name = cString(u32[s]);
    this.type = u32[s + 1];
    this.version = u32[s + 2];
    this.fields = readFields(u32[s + 3], u32[s + 4]);
    this.groups = [];
    for (let g = 0; g < u32[s + 6]; g++) {
      const w = (u32[s + 5] >> 2) + g * 6;
      this.groups.push({
        name: cString(u32[w]), phrase: u32[w + 1], flags: u32[w + 2], max: u32[w + 3],
        repeated: (u32[w + 2] & REPEATED) !== 0, optional: (u32[w + 2] & OPTIONAL) !== 0,
        fields: readFields(u32[w + 4], u32[w + 5]),
      });
    }
    this.fieldIndex = new Map(this.fields.map((f, i) => [f.name, i]));
    this.groupIndex = new Map(this.groups.map((g, i) => [g.name, i]));
  }

  // A schema file's text, read by the library's one loader.
  static parse(text) {
    const bytes = encoder.encode(text);
    const out = alloc(4 + ERROR_SIZE);
    try {
      const status = withBytes(bytes, (address) =>
        wasm._vokxSchemaParse(address, bytes.length, out, out + 4));
      if (status !== VOK_OK) throw refusal(out + 4, status);
      return new Schema(heap.u32[out >> 2]);
    } finally {
      wasm._free(out);
    }
  }

  #live() {
    if (this.address === 0) throw new TypeError('vok32: the schema was freed');
  }

  // Releases the schema's memory in the module now; it cannot be used after.
  free() {
    schemas.unregister(this);
    wasm._vokxSchemaFree(this.#document);
    this.#document = 0;
    this.address = 0;
  }

  // A block as a plain object: every field and group of the schema by name
  // (absent ones as null, [] or their default).  Throws a VokError with the
  // refusal's status, path and offset.
  decode(block) {
    this.#live();
    const error = alloc(ERROR_SIZE);
    try {
      const status = withBytes(block, (address) =>
        wasm._vokjsDecode(this.address, address, block.length, error));
      if (!readable(status)) throw refusal(error, status);
      return this.#build(wasm._vokjsTape(), wasm._vokjsSteps());
    } finally {
      wasm._free(error);
    }
  }

  // The tape's values sit 8-aligned (the glue's steps are 32 bytes from an
  // allocation), so the typed arrays read them in place.
  #build(tape, steps) {
    const record = emptyLevel(this.fields);
    for (const group of this.groups) record[group.name] = group.repeated ? [] : null;
    const { u32, f32, f64, u8 } = heap;
    let occurrence = null;
    for (let i = 0, w = tape >> 2; i < steps; i++, w += 8) {
      const groupIndex = u32[w] | 0;
      const fieldIndex = u32[w + 2] | 0;
      if (fieldIndex === -2) continue; // passed over: not the schema's
      if (fieldIndex === -1) { // a group occurrence begins
        const group = this.groups[groupIndex];
        occurrence = emptyLevel(group.fields);
        if (group.repeated) record[group.name].push(occurrence);
        else record[group.name] = occurrence;
        continue;
      }
      const field = (groupIndex < 0 ? this.fields : this.groups[groupIndex].fields)[fieldIndex];
      let value;
      if (field.kind === KIND.string || field.kind === KIND.utf8) {
        const bytes = u8.subarray(u32[w + 6], u32[w + 6] + u32[w + 7]);
        value = field.kind === KIND.utf8 ? decoder.decode(bytes) : bytes.slice();
      } else {
        const float = field.kind === KIND.float32 ? f32[w + 4] : f64[(w + 4) >> 1];
        value = valueFrom(field, u32[w + 4], u32[w + 5], float);
      }
      const level = groupIndex < 0 ? record : occurrence;
      if (field.repeated) level[field.name].push(value);
      else level[field.name] = value;
    }
    return record;
  }

  // A plain object as a block, by the same rules as decode's output and the
  // tool's JSON (see the package's README).  Throws a VokError.
  encode(record) {
    this.#live();
    if (!isPlainObject(record)) {
      throw new VokError({ status: 'VOK_WRONG_TYPE', message: 'a record must be an object' });
    }
    for (const key of Object.keys(record)) {
      if (!this.fieldIndex.has(key) && !this.groupIndex.has(key) && !HEADER_KEYS.has(key)) {
        throw new VokError({ status: 'VOKX_BAD_FIELD', path: key, message: 'not a field of the schema' });
      }
    }
    const steps = new Steps();
    this.#level(steps, this.fields, record, '') && this.#groups(steps, record);
    return this.#run(steps, record.$version ?? this.version);
  }

  #level(steps, fields, values, prefix) {
    for (let i = 0; i < fields.length; i++) {
      const field = fields[i];
      const value = values[field.name];
      if (value === undefined || value === null) continue;
      const path = prefix + field.name;
      if (field.repeated && !Array.isArray(value)) {
        steps.refuse(path, 'VOK_WRONG_TYPE', 'must be an array');
        return false;
      }
      for (const one of field.repeated ? value : [value]) {
        if (field.kind === KIND.string || field.kind === KIND.utf8) {
          const bytes = textBytes(one);
          if (bytes === null) {
            steps.refuse(path, 'VOK_WRONG_TYPE', STRING_SHAPE);
            return false;
          }
          steps.add(STEP_TEXT, i, bytes, path);
        } else {
          steps.add(STEP_JSON, i, encoder.encode(jsonText(one)), path);
        }
      }
    }
    return true;
  }

  #groups(steps, record) {
    for (let g = 0; g < this.groups.length; g++) {
      const group = this.groups[g];
      const value = record[group.name];
      if (value === undefined || value === null) continue;
      if (group.repeated && !Array.isArray(value)) {
        steps.refuse(group.name, 'VOK_WRONG_TYPE', 'must be an array of objects');
        return false;
      }
      const occurrences = group.repeated ? value : [value];
      for (let n = 0; n < occurrences.length; n++) {
        const prefix = `${group.name}[${n}]`;
        const occurrence = occurrences[n];
        if (!isPlainObject(occurrence)) {
          steps.refuse(prefix, 'VOK_WRONG_TYPE', 'must be an object');
          return false;
        }
        const known = new Set(group.fields.map((f) => f.name));
        const stranger = Object.keys(occurrence).find((key) => !known.has(key));
        if (stranger !== undefined) {
          steps.refuse(`${prefix}.${stranger}`, 'VOKX_BAD_FIELD', 'not a field of the schema');
          return false;
        }
        steps.add(STEP_GROUP, g, new Uint8Array(0), prefix);
        if (!this.#level(steps, group.fields, occurrence, `${prefix}.`)) return false;
      }
    }
    return true;
  }

  #run(steps, version) {
    const count = steps.words.length / 4;
    const scratch = alloc(steps.size + count * 16 + 16 + ERROR_SIZE + 8);
    const words = scratch >> 2;
    const stream = scratch + count * 16;
    const error = stream + 16;
    const failed = error + ERROR_SIZE;
    const texts = failed + 8;
    try {
      const u8 = heap.u8;
      let at = texts;
      for (const bytes of steps.texts) {
        u8.set(bytes, at);
        at += bytes.length;
      }
      const u32 = heap.u32;
      for (let i = 0; i < steps.words.length; i += 4) {
        u32[words + i] = steps.words[i];
        u32[words + i + 1] = steps.words[i + 1];
        u32[words + i + 2] = texts + steps.words[i + 2];
        u32[words + i + 3] = steps.words[i + 3];
      }
      const status = wasm._vokjsEncode(this.address, scratch, count, version >>> 0, stream, error,
        failed, failed + 4);
      if (status !== VOK_OK) {
        const step = heap.u32[failed >> 2];
        const why = heap.u32[(failed >> 2) + 1];
        if (step < count && steps.words[step * 4] === 3) throw new VokError(steps.refused);
        if (why !== 0) {
          throw new VokError({ status, path: steps.where[step], message: cString(why) });
        }
        throw refusal(error, status);
      }
      const data = wasm._vokGetData(stream);
      const block = heap.u8.slice(data, data + wasm._vokGetLength(stream));
      wasm._vokDestroyStream(data);
      return block;
    } finally {
      wasm._free(scratch);
    }
  }
}

export { KIND };
