// The inspector page: blocks of a file, a block's items as a tree, its
// bytes in hex, and its record when a schema is open.  Everything runs in
// the page through the package; nothing leaves the machine.
import { scanBlocks, items, Schema, VokError } from '../src/index.js';

const ROW = 22; // pixels per block row: the list draws only rows on screen
const HEX_LIMIT = 64 * 1024; // bytes of a block shown in hex
const $ = (id) => document.getElementById(id);

const state = {
  bytes: null, blocks: [], selected: -1, schema: null, items: [], scanning: 0,
  records: new Map(), // decoded rows, by block index, while the schema stays
};

// Scans in slices between frames, so that a large file stays responsive.
function load(bytes, name) {
  const run = ++state.scanning;
  Object.assign(state, { bytes, blocks: [], selected: -1, records: new Map() });
  const scan = scanBlocks(bytes);
  const step = () => {
    if (run !== state.scanning) return;
    const until = performance.now() + 12;
    let next;
    while (performance.now() < until && !(next = scan.next()).done) state.blocks.push(next.value);
    drawRows();
    const bad = state.blocks.filter((b) => b.status !== 'VOK_OK').length;
    $('summary').textContent = `${name}: ${bytes.length} bytes, ${state.blocks.length} blocks` +
      (bad ? `, ${bad} with problems` : '') + (next?.done ? '' : ' (reading...)');
    if (!next?.done) requestAnimationFrame(step);
    else if (state.selected < 0 && state.blocks.length) select(0);
  };
  step();
}

function recordOf(index) {
  const block = state.blocks[index];
  if (!state.schema || block.damaged) return null;
  if (!state.records.has(index)) {
    try {
      state.records.set(index, { record: state.schema.decode(blockBytes(block)) });
    } catch (e) {
      if (!(e instanceof VokError)) throw e;
      state.records.set(index, { refusal: e });
    }
  }
  return state.records.get(index);
}

function drawRows() {
  const box = $('blocks');
  const rows = $('block-rows');
  rows.style.height = `${state.blocks.length * ROW}px`;
  const first = Math.floor(box.scrollTop / ROW);
  const last = Math.min(state.blocks.length, first + Math.ceil(box.clientHeight / ROW) + 1);
  rows.replaceChildren();
  for (let i = first; i < last; i++) {
    const b = state.blocks[i];
    const row = document.createElement('div');
    row.className = 'row';
    row.dataset.index = i;
    row.style.top = `${i * ROW}px`;
    if (b.damaged) row.classList.add('damaged');
    else if (b.status !== 'VOK_OK') row.classList.add('bad');
    else if (recordOf(i)?.refusal) row.classList.add('refused');
    if (i === state.selected) row.classList.add('selected');
    row.textContent = `${b.offset}  type ${b.type} v${b.version}  ${b.length} B` +
      (b.status === 'VOK_OK' || b.damaged ? '' : `  ${b.status}`);
    rows.append(row);
  }
}

const blockBytes = (b) => state.bytes.subarray(b.offset, b.offset + b.length);

function select(index) {
  state.selected = index;
  drawRows();
  const block = state.blocks[index];
  state.items = block.damaged ? [] : items(blockBytes(block), { count: 20000 });
  drawItems();
  drawHex(block);
  drawRecord(index);
}

function label(item) {
  const value = item.text !== undefined ? JSON.stringify(item.text)
    : item.bytes ? `${item.length} bytes` : item.value ?? item.length ?? '';
  return `${item.offset}  ${item.class} ${value}` + (item.status ? ` ${item.status}` : '');
}

// Items under their phrase: a phrase mark opens a group that runs to the
// next phrase mark or the end marker.
function drawItems() {
  const box = $('items');
  box.replaceChildren();
  let parent = box;
  state.items.forEach((item, i) => {
    const node = document.createElement('div');
    node.className = `item ${item.class}`;
    node.dataset.index = i;
    const line = document.createElement('div');
    line.className = 'line';
    line.textContent = label(item);
    node.append(line);
    if (item.class === 'phrase') {
      box.append(node);
      parent = document.createElement('div');
      parent.className = 'children';
      node.append(parent);
    } else {
      (item.class === 'end' ? box : parent).append(node);
    }
  });
}

function drawHex(block) {
  const bytes = state.bytes.subarray(block.offset, block.offset + Math.min(block.length, HEX_LIMIT));
  const hex = $('hex');
  hex.replaceChildren();
  const lines = [];
  for (let at = 0; at < bytes.length; at += 16) {
    const line = document.createElement('div');
    line.append(`${String(block.offset + at).padStart(10)}  `);
    for (let i = at; i < Math.min(at + 16, bytes.length); i++) {
      const span = document.createElement('span');
      span.dataset.byte = i;
      span.textContent = bytes[i].toString(16).padStart(2, '0');
      line.append(span, ' ');
    }
    lines.push(line);
  }
  hex.append(...lines);
  if (block.length > HEX_LIMIT) hex.append(`... ${block.length - HEX_LIMIT} more bytes`);
}

function drawRecord(index) {
  const block = state.blocks[index];
  const box = $('record');
  const result = recordOf(index);
  box.replaceChildren();
  if (!result) {
    box.textContent = state.schema ? 'No record: the block is damaged.' : 'Open a schema to read records.';
    return;
  }
  if (result.refusal) {
    const e = result.refusal;
    const line = document.createElement('div');
    line.className = 'refusal';
    line.textContent = `refused: ${e.status} at ${e.path || 'the block'}, byte ` +
      `${block.offset + e.offset}: ${e.message}`;
    box.append(line);
    const fault = $('hex').querySelector(`span[data-byte="${e.offset}"]`);
    fault?.classList.add('fault');
    return;
  }
  box.textContent = JSON.stringify(result.record, (_, v) => (typeof v === 'bigint' ? `${v}`
    : v instanceof Uint8Array ? new TextDecoder().decode(v) : v), 2);
}

// An item and its bytes light up together, chosen from either side.
function highlight(index) {
  document.querySelectorAll('.item.selected').forEach((n) => n.classList.remove('selected'));
  document.querySelectorAll('#hex span.lit').forEach((n) => n.classList.remove('lit'));
  const item = state.items[index];
  if (!item) return;
  document.querySelector(`.item[data-index="${index}"]`)?.classList.add('selected');
  for (let i = item.offset; i < item.offset + Math.max(item.size, 1); i++) {
    document.querySelector(`#hex span[data-byte="${i}"]`)?.classList.add('lit');
  }
}

function itemAt(byte) {
  return state.items.findIndex((item) => byte >= item.offset && byte < item.offset + item.size);
}

async function openSchema(text) {
  try {
    state.schema?.free();
    state.schema = Schema.parse(text);
    state.records = new Map();
  } catch (e) {
    state.schema = null;
    $('record').textContent = `The schema was refused: ${e.path ? `${e.path}: ` : ''}${e.message}`;
    return;
  }
  if (state.selected >= 0) select(state.selected);
  else drawRows();
}

const readFile = (file) => file.arrayBuffer().then((buffer) => new Uint8Array(buffer));

$('blocks').addEventListener('scroll', drawRows);
$('blocks').addEventListener('click', (e) => {
  const row = e.target.closest('.row');
  if (row) select(Number(row.dataset.index));
});
$('items').addEventListener('click', (e) => {
  const node = e.target.closest('.item');
  if (node) highlight(Number(node.dataset.index));
});
$('hex').addEventListener('click', (e) => {
  if (e.target.dataset.byte !== undefined) highlight(itemAt(Number(e.target.dataset.byte)));
});
$('open-file').addEventListener('change', async (e) => {
  const file = e.target.files[0];
  if (file) load(await readFile(file), file.name);
});
$('open-schema').addEventListener('change', async (e) => {
  const file = e.target.files[0];
  if (file) openSchema(await file.text());
});
document.addEventListener('dragover', (e) => {
  e.preventDefault();
  document.body.classList.add('dragging');
});
document.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
document.addEventListener('drop', async (e) => {
  e.preventDefault();
  document.body.classList.remove('dragging');
  for (const file of e.dataTransfer.files) {
    if (file.name.endsWith('.json')) openSchema(await file.text());
    else load(await readFile(file), file.name);
  }
});

// ?file=URL&schema=URL opens both at start (the page's own test uses it).
const query = new URLSearchParams(location.search);
if (query.get('schema')) await openSchema(await (await fetch(query.get('schema'))).text());
if (query.get('file')) {
  const response = await fetch(query.get('file'));
  load(new Uint8Array(await response.arrayBuffer()), query.get('file'));
}
document.body.dataset.ready = 'true';
