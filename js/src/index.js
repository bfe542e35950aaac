// vok32 for JavaScript: the library compiled to WebAssembly.
export { inspect, blocks, scanBlocks, items, forEachItem, Writer } from './blocks.js';
export { Schema } from './records.js';
export { VokError, statusName, statusText } from './core.js';
