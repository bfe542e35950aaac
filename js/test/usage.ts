// Compiled by `npm run types` only: the declarations against typical use.
import { Schema, Writer, blocks, items, inspect, VokError } from '../src/index.js';

const block: Uint8Array = new Writer(3, 1).mark(1).unsigned(2).utf8('x').finish();
const frame = inspect(block);
const lengths: number[] = blocks(block, { maxBlock: 1 << 20 }).map((b) => b.length + frame.body);
const classes: string[] = items(block, { start: 1 }).map((i) => i.class);
const schema = Schema.parse('{}');
try {
  const record = schema.decode(schema.encode({ id: 1n, when: new Date(), tags: ['a'] }));
  const id = record['id'];
  if (typeof id === 'bigint') console.log(id + 1n, lengths, classes);
} catch (e) {
  if (e instanceof VokError) console.log(e.status, e.path, e.offset, e.block, e.message);
}
