// A static file server for the inspector: the project's files over HTTP on
// 127.0.0.1 (a page opened from file:// cannot load the module).  Run as
//   node js/browser/serve.mjs [PORT]
// from anywhere, then open http://127.0.0.1:PORT/js/inspector/
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import { extname, normalize, sep } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = fileURLToPath(new URL('../../', import.meta.url));
const TYPES = {
  '.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript', '.css': 'text/css',
  '.json': 'application/json', '.wasm': 'application/wasm',
};

export function serve(port = 0) {
  const server = createServer(async (request, response) => {
    let path = decodeURIComponent(new URL(request.url, 'http://host').pathname);
    if (path.endsWith('/')) path += 'index.html';
    const file = normalize(root + path);
    if (!file.startsWith(root) || file.split(sep).includes('node_modules')) {
      response.writeHead(403).end();
      return;
    }
    try {
      const body = await readFile(file);
      response.writeHead(200, { 'content-type': TYPES[extname(file)] ?? 'application/octet-stream' });
      response.end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  return new Promise((resolve) => server.listen(port, '127.0.0.1', () => resolve(server)));
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const server = await serve(Number(process.argv[2] ?? 8000));
  console.log(`http://127.0.0.1:${server.address().port}/js/inspector/`);
}
