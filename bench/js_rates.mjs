// The JavaScript package's rates against their yardsticks, on one file of
// telemetry readings (bench/js_rates.sh makes it): the wasm item walk
// (forEachItem) against the native vokxNextItem walk (walk_rate), and
// schema.decode against JSON.parse of the same records as the tool's JSON
// lines; then the module's size, gzipped.  The walk is timed twice: through
// forEachItem, a JavaScript call per item (wasm_walk), and as the module's
// own loop with JavaScript only asking for each batch (module_walk).  Three rounds taken in turn, the
// best of each kept.  Prints one JSON object.
// Usage: node bench/js_rates.mjs BLOCKS SCHEMA JSON_LINES WALK_RATE
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { gzipSync } from 'node:zlib';
import { blocks, forEachItem, Schema } from '../js/src/index.js';
import { wasm, heap, alloc } from '../js/src/core.js';

const [blocksPath, schemaPath, linesPath, walkRate] = process.argv.slice(2);
const bytes = new Uint8Array(readFileSync(blocksPath));
const schema = Schema.parse(readFileSync(schemaPath, 'utf8'));
const lines = readFileSync(linesPath, 'utf8').split('\n').filter(Boolean);
const records = blocks(bytes).map((b) => bytes.subarray(b.offset, b.offset + b.length));

function seconds(fn, runs) {
  let best = Infinity;
  for (let i = 0; i < runs; i++) {
    const start = process.hrtime.bigint();
    fn();
    best = Math.min(best, Number(process.hrtime.bigint() - start) / 1e9);
  }
  return best;
}

// The walk alone in the module: the glue's loop over the file (inspect,
// open, vokxNextItem per item into the tape), JavaScript only asking for
// the next batch; the file is copied in once, before timing, as the native
// program reads it before its own.
const inModule = alloc(bytes.length + 12);
heap.u8.set(bytes, inModule);
const cursor = inModule + bytes.length + ((4 - (bytes.length % 4)) % 4);
function walkInModule() {
  let steps = 0;
  heap.u32[cursor >> 2] = 0;
  for (;;) {
    const n = wasm._vokjsWalkBlocks(inModule, bytes.length, cursor, 1 << 14, cursor + 4);
    steps += n;
    if (heap.u8[cursor + 4] !== 0 || n === 0) return steps - records.length; // end markers aside
  }
}

const best = { native_walk: 0, wasm_walk: 0, module_walk: 0, decode: 0, json_parse: 0 };
let items = 0;
for (let round = 0; round < 3; round++) {
  const native = JSON.parse(execFileSync(walkRate, [blocksPath]).toString());
  best.native_walk = Math.max(best.native_walk, native.items_per_second);
  let counted = 0;
  const walk = seconds(() => {
    counted = 0;
    forEachItem(bytes, (tag) => { if (tag !== 201) counted++; }); // end markers aside, as natively
  }, 5);
  if (counted !== native.items) throw new Error(`walked ${counted} items, natively ${native.items}`);
  items = counted;
  best.wasm_walk = Math.max(best.wasm_walk, counted / walk);
  let walked = 0;
  const alone = seconds(() => { walked = walkInModule(); }, 5);
  if (walked !== native.items) throw new Error(`the module walked ${walked} items`);
  best.module_walk = Math.max(best.module_walk, walked / alone);
  best.decode = Math.max(best.decode, records.length / seconds(() => records.forEach((r) => schema.decode(r)), 3));
  best.json_parse = Math.max(best.json_parse, lines.length / seconds(() => lines.forEach((l) => JSON.parse(l)), 3));
}

const dist = new URL('../js/dist/', import.meta.url);
const gzipped = (name) => gzipSync(readFileSync(new URL(name, dist)), { level: 9 }).length;
const result = {
  node: process.version,
  records: records.length,
  items,
  items_per_second: {
    native_walk: Math.round(best.native_walk),
    wasm_walk: Math.round(best.wasm_walk),
    module_walk: Math.round(best.module_walk),
  },
  records_per_second: { decode: Math.round(best.decode), json_parse: Math.round(best.json_parse) },
  ratios: {
    wasm_walk_over_native: +(best.wasm_walk / best.native_walk).toFixed(2),
    module_walk_over_native: +(best.module_walk / best.native_walk).toFixed(2),
    decode_over_json_parse: +(best.decode / best.json_parse).toFixed(2),
  },
  gzipped_bytes: { 'vok32.wasm': gzipped('vok32.wasm'), 'vok32.mjs': gzipped('vok32.mjs') },
};
result.gzipped_bytes.module_and_loader = result.gzipped_bytes['vok32.wasm'] + result.gzipped_bytes['vok32.mjs'];
console.log(JSON.stringify(result, null, 2));
