// The shared record vectors of the source tree, read as JavaScript values:
// integers beyond 2^53 as BigInt, as the package gives them.
import { readFileSync } from 'node:fs';

export const root = new URL('../../', import.meta.url);

// JSON.parse rounds integers past 2^53; those are quoted first (outside
// strings: the vectors' strings never hold a bare run of 16 digits after
// a separator) and revived as BigInt.
export function parseExact(text) {
  const quoted = text.replace(/([:[,]\s*)(-?\d{16,})(?=\s*[,\]}])/g, '$1{"$bigint":"$2"}');
  return JSON.parse(quoted, (_, v) => (v && typeof v === 'object' && '$bigint' in v
    ? (Number.isSafeInteger(Number(v.$bigint)) ? Number(v.$bigint) : BigInt(v.$bigint)) : v));
}

export function vectors() {
  const all = { write: [], read: [] };
  for (const name of ['tests/records_vectors.json', 'tests/model/cases.json']) {
    const file = parseExact(readFileSync(new URL(name, root), 'utf8'));
    for (const key of ['write', 'read']) all[key].push(...(file[key] ?? []));
  }
  return all;
}

export const schemaText = (name) => readFileSync(new URL(name, root), 'utf8');

export const hex = (bytes) => Buffer.from(bytes).toString('hex');
export const fromHex = (text) => new Uint8Array(Buffer.from(text, 'hex'));
