// Records against the shared vectors (what the tool and Python answer),
// and the mapping of values the package documents.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { Schema, VokError } from '../src/index.js';
import { vectors, schemaText, hex, fromHex } from './vectors.js';

const cases = vectors();
const schemas = new Map();
const schemaOf = (name) => {
  if (!schemas.has(name)) schemas.set(name, Schema.parse(schemaText(name)));
  return schemas.get(name);
};

const FLOAT_WORDS = { NaN: NaN, Infinity: Infinity, '-Infinity': -Infinity };

// A vector's value as decode gives it, by the field's kind.
function expected(field, v) {
  if (Array.isArray(v) && field.repeated) return v.map((x) => expected(field, x));
  switch (field.kindName) {
    case 'float32':
    case 'float64': {
      if (typeof v === 'string') return FLOAT_WORDS[v];
      if (v && typeof v === 'object') { // its bits
        const view = new DataView(fromHex(v.bits).buffer);
        return field.kindName === 'float32' ? view.getFloat32(0) : view.getFloat64(0);
      }
      return field.kindName === 'float32' ? Math.fround(v) : v;
    }
    case 'timestamp': return typeof v === 'string' ? new Date(v) : v;
    case 'string': return typeof v === 'string' ? new TextEncoder().encode(v) : fromHex(v.hex);
    default: return v;
  }
}

function expectedLevel(fields, values) {
  const out = {};
  for (const field of fields) {
    const v = values?.[field.name];
    out[field.name] = v === undefined ? (field.repeated ? [] : null) : expected(field, v);
  }
  return out;
}

function expectedRecord(schema, record) {
  const out = expectedLevel(schema.fields, record);
  for (const group of schema.groups) {
    const v = record[group.name];
    out[group.name] = v === undefined ? (group.repeated ? [] : null)
      : group.repeated ? v.map((o) => expectedLevel(group.fields, o))
        : expectedLevel(group.fields, v);
  }
  return out;
}

// Values as comparable text: floats by value with -0 and NaN apart, Dates
// by their milliseconds, bytes in hex.
function canon(v) {
  if (v instanceof Date) return `date ${v.getTime()}`;
  if (v instanceof Uint8Array) return `bytes ${hex(v)}`;
  if (typeof v === 'number') return Object.is(v, -0) ? 'number -0' : `number ${v}`;
  if (typeof v === 'bigint') return `number ${v}`;
  if (Array.isArray(v)) return v.map(canon);
  if (v && typeof v === 'object') {
    return Object.fromEntries(Object.entries(v).map(([k, x]) => [k, canon(x)]));
  }
  return v;
}

test('records are written as the shared vectors say', () => {
  for (const c of cases.write) {
    const schema = schemaOf(c.schema);
    const where = JSON.stringify(c.record, (_, v) => (typeof v === 'bigint' ? String(v) : v));
    if (c.bytes) {
      assert.equal(hex(schema.encode(c.record)), c.bytes, where);
      continue;
    }
    assert.throws(() => schema.encode(c.record), (e) => {
      assert.ok(e instanceof VokError, where);
      assert.deepEqual([e.status, e.path], [c.refusal.status, c.refusal.path], where);
      if (c.refusal.words) assert.equal(e.message, c.refusal.words, where);
      return true;
    });
  }
});

test('records are read as the shared vectors say', () => {
  for (const c of cases.read) {
    const schema = schemaOf(c.schema);
    if (c.record) {
      const record = schema.decode(fromHex(c.bytes));
      assert.deepEqual(canon(record), canon(expectedRecord(schema, c.record)), c.bytes);
      continue;
    }
    assert.throws(() => schema.decode(fromHex(c.bytes)), (e) => {
      assert.deepEqual([e.status, e.path, e.offset],
        [c.refusal.status, c.refusal.path, c.refusal.offset], c.bytes);
      return true;
    });
  }
});

test('values cross as the package documents', () => {
  const schema = Schema.parse(schemaText('bench/typed/telemetry.schema.json'));
  const reading = {
    sensor: 2n ** 60n + 1n, time: new Date(Date.UTC(2026, 6, 25, 12, 29, 19, 221)),
    state: 'DEGRADED', temperature: -10.87, samples: [0.5, -0], site: 'Valby',
    alarms: [{ code: 9, level: -(2n ** 40n) }, { code: 1, level: 2n ** 62n }],
  };
  const back = schema.decode(schema.encode(reading));
  assert.deepEqual(canon(back), canon({ ...reading, battery: 100,
    alarms: [{ code: 9, level: -(2 ** 40) }, { code: 1, level: 2n ** 62n }] }));
  // The JSON forms are taken too: RFC 3339 text, a float's word, an enum's number.
  const same = schema.encode({ ...reading, time: '2026-07-25T14:29:19.221+02:00', state: 1 });
  assert.equal(hex(same), hex(schema.encode(reading)));
});

test('a freed schema refuses to be used', () => {
  const schema = Schema.parse(schemaText('examples/order.schema.json'));
  schema.free();
  assert.throws(() => schema.decode(new Uint8Array(9)), TypeError);
  assert.throws(() => schema.encode({}), TypeError);
});

test('a schema file the loader refuses is a VokError with its path', () => {
  assert.throws(() => Schema.parse('{"name": "X", "type": 300, "version": 1, "fields": []}'),
    (e) => e instanceof VokError && e.status === 'VOKX_BAD_SCHEMA' && e.path === 'type');
  assert.throws(() => Schema.parse('{'), (e) => e.status === 'VOKX_BAD_SCHEMA');
});
