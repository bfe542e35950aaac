// Blocks and items: the Writer against the walk, and the listing of every
// fuzz corpus file against the native tool's `vok dump --json` of it, damage
// and resynchronisation included.  VOK_TOOL names the tool.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readdirSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { Writer, items, blocks, inspect, VokError } from '../src/index.js';
import { root } from './vectors.js';

test('a written block walks back item by item', () => {
  const block = new Writer(7, 300).phrase(2).mark(199).unsigned(4294967295).signed(-2147483648)
    .flag(false).string(new Uint8Array([0, 255])).utf8('wide: 世界').safe(65535).finish();
  assert.deepEqual(inspect(block), { status: 'VOK_OK', length: block.length, type: 7,
    version: 300, body: 9 });
  const listed = items(block).map(({ class: c, value, length, text, bytes }) =>
    [c, value ?? length, text ?? (bytes && [...bytes])]);
  assert.deepEqual(listed, [['phrase', 2, undefined], ['mark', 199, undefined],
    ['unsigned', 4294967295, undefined], ['signed', -2147483648, undefined],
    ['flag', 0, undefined], ['string', 2, [0, 255]], ['utf8', 12, 'wide: 世界'],
    ['safe', 65535, undefined], ['end', undefined, undefined]]);
  assert.deepEqual(items(block, { start: 2, count: 2 }).map((i) => i.class), ['unsigned', 'signed']);
});

test('the writer refuses what the library refuses', () => {
  assert.throws(() => new Writer(1).mark(200), (e) => e instanceof VokError);
  assert.throws(() => new Writer(1).phrase(256), RangeError);
  assert.throws(() => new Writer(1).unsigned(-1), RangeError);
  const finished = new Writer(1);
  finished.finish();
  assert.throws(() => finished.flag(true), TypeError);
  assert.throws(() => finished.finish(), TypeError);
});

// One line per item as the tool lists it, offsets from the file's start,
// the skipped ranges, and a line per block with problems.  What the tool
// lists of a damaged block before skipping it is left out: the package
// lists a damaged block as one entry.
function fromTool(path) {
  let out;
  try {
    out = execFileSync(process.env.VOK_TOOL ?? 'vok', ['dump', '--json', path], { stdio: 'pipe' });
  } catch (e) {
    out = e.stdout; // a file with problems exits 1 after listing it all
  }
  const lines = [];
  const parsed = out.toString().split('\n').filter(Boolean).map((text) => JSON.parse(text));
  const damaged = new Set(parsed.filter((line) => line.skipped).map((line) => line.skipped.from));
  let pending = []; // items of the block being listed, kept until it proves sound
  for (const line of parsed) {
    if (line.kind === 'stream') {
      lines.push(...pending);
      pending = [];
    } else if (line.kind) {
      pending.push(`${line.offset} ${line.size} ${line.kind} ${line.value ?? line.length ?? ''}`);
      if (line.kind === 'end') {
        lines.push(...pending);
        pending = [];
      }
    } else if (line.skipped) {
      lines.push(`skipped ${line.skipped.from}-${line.skipped.to}`);
    } else if (line.byte !== undefined && lines.at(-1) !== `problem ${line.block}`) {
      if (!damaged.has(line.block)) lines.push(...pending);
      pending = [];
      lines.push(`problem ${line.block}`);
    }
  }
  return [...lines, ...pending];
}

function fromPackage(bytes) {
  const lines = [];
  for (const block of blocks(bytes)) {
    if (block.damaged) {
      lines.push(`problem ${block.offset}`, `skipped ${block.offset}-${block.offset + block.length}`);
      continue;
    }
    for (const item of items(bytes.subarray(block.offset, block.offset + block.length))) {
      if (item.class === 'invalid') {
        lines.push(`problem ${block.offset}`);
        continue;
      }
      lines.push(`${block.offset + item.offset} ${item.size} ${item.class} ${item.value ?? item.length ?? ''}`);
    }
  }
  return lines;
}

test('every corpus file lists as the native tool lists it', () => {
  const corpora = new URL('fuzz/corpus/', root);
  let files = 0;
  for (const dir of readdirSync(corpora)) {
    for (const name of readdirSync(new URL(`${dir}/`, corpora))) {
      const path = new URL(`${dir}/${name}`, corpora);
      assert.deepEqual(fromPackage(new Uint8Array(readFileSync(path))), fromTool(path.pathname),
        `${dir}/${name}`);
      files++;
    }
  }
  assert.ok(files > 50);
});

test('damage is passed over as the native tool passes over it', () => {
  const block = (n) => new Writer(3, 1).mark(1).unsigned(n).utf8('x'.repeat(n)).finish();
  const [a, b, c] = [block(1), block(300), block(2)];
  const flipped = b.slice();
  flipped[0] = 0x7f; // a length field gone wrong
  const badItems = b.slice();
  badItems[8] = 0xe9; // the first item: a byte no item starts with
  const join = (...parts) => Uint8Array.from(parts.flatMap((p) => [...p]));
  const cases = {
    'garbage between blocks': join(a, [1, 2, 3, 0xc8], b, c),
    'a torn block at the end': join(a, b, c.subarray(0, 7)),
    'a flipped length field': join(a, flipped, c),
    'a block with a bad item': join(a, badItems, c),
    'a block inside garbage': join([0, 0, 0], a.subarray(2), b, [9, 9], c),
  };
  const dir = mkdtempSync(`${tmpdir()}/vok32-js-`);
  for (const [name, bytes] of Object.entries(cases)) {
    const path = `${dir}/${name.replaceAll(' ', '_')}.bin`;
    writeFileSync(path, bytes);
    assert.deepEqual(fromPackage(bytes), fromTool(path), name);
  }
});
