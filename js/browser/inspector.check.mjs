// The inspector in headless Chromium (Debian's, driven by playwright-core):
// a fixed sample over HTTP, its block list with the damaged range, an item
// and its bytes lit from either side, a decoded record and a refusal, a
// large file listed while it is read, and a screenshot.  Usage: node js/browser/inspector.check.mjs SCREENSHOT.png
import assert from 'node:assert/strict';
import { mkdirSync, readFileSync } from 'node:fs';
import { dirname } from 'node:path';
import { chromium } from 'playwright-core';
import { serve } from './serve.mjs';

const screenshot = process.argv[2] ?? 'build/web/inspector.png';
const server = await serve();
const base = `http://127.0.0.1:${server.address().port}`;
const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  const page = await browser.newPage({ viewport: { width: 1280, height: 640 } });
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(`${base}/js/inspector/?file=sample/orders.bin&schema=/examples/order.schema.json`);
  await page.waitForSelector('body[data-ready="true"]');
  await page.waitForFunction(() => !document.getElementById('summary').textContent.includes('reading'));
  assert.match(await page.textContent('#summary'), /150 bytes, 5 blocks, 1 with problems/);
  const rows = page.locator('.row');
  assert.equal(await rows.count(), 5);
  assert.match(await rows.nth(2).getAttribute('class'), /damaged/);
  assert.match(await rows.nth(4).getAttribute('class'), /refused/);

  // The second order: its record, and the customer's item with its bytes.
  await rows.nth(1).click();
  const record = await page.textContent('#record');
  assert.match(record, /"customer": "Ann"/);
  assert.match(record, /"status": "SHIPPED"/);
  await page.locator('.item .line', { hasText: 'utf8 "Ann"' }).click();
  const lit = await page.locator('#hex span.lit').allTextContents();
  assert.deepEqual(lit, ['d0', '03', '41', '6e', '6e']);
  // ...and from the bytes: the first byte of the id's value picks its item.
  await page.locator('#hex span[data-byte="9"]').click();
  assert.match(await page.textContent('.item.selected > .line'), /unsigned 2/);

  // The last block frames well but breaks the schema: refused at its byte.
  await rows.nth(4).click();
  assert.match(await page.textContent('#record .refusal'),
    /VOKX_MISSING_FIELD at paid, byte 149: is required but/);
  assert.equal(await page.locator('#hex span.fault').count(), 1);

  // A large file is read in slices: the page answers while it reads.
  const sample = readFileSync(new URL('../inspector/sample/orders.bin', import.meta.url));
  const good = sample.subarray(0, 98); // the two sound orders before the damage
  const large = Buffer.concat(Array(400000).fill(good)); // 39 MB, 800,000 blocks
  await page.setInputFiles('#open-file', { name: 'large.bin', mimeType: 'application/octet-stream',
    buffer: large });
  await page.waitForFunction(() => document.getElementById('summary').textContent.includes('large'));
  assert.match(await page.textContent('#summary'), /large\.bin: 39200000 bytes, .*reading/);
  await rows.nth(3).click();
  assert.match(await page.textContent('#record'), /"customer": "Ann"/);
  await page.waitForFunction(() => !document.getElementById('summary').textContent.includes('reading'),
    null, { timeout: 120000 });
  assert.match(await page.textContent('#summary'), /800000 blocks$/);
  assert.ok(await rows.count() < 100, 'only the rows on screen are drawn');

  await page.goto(`${base}/js/inspector/?file=sample/orders.bin&schema=/examples/order.schema.json`);
  await page.waitForSelector('body[data-ready="true"]');
  await rows.nth(1).click();
  await page.locator('.item .line', { hasText: 'utf8 "Ann"' }).click();
  mkdirSync(dirname(screenshot), { recursive: true });
  await page.screenshot({ path: screenshot });
  assert.deepEqual(errors, []);
  console.log(`inspector: all checks passed; screenshot ${screenshot}`);
} finally {
  await browser.close();
  server.close();
}
