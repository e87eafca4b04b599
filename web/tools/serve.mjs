// Serves the demo: node tools/serve.mjs --dist DIR --images DIR [--port N] [--rate BYTES_PER_SECOND]
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';

import { startServer } from './server.mjs';

const { values } = parseArgs({
  options: {
    dist: { type: 'string' },
    images: { type: 'string' },
    port: { type: 'string', default: '8080' },
    host: { type: 'string', default: '127.0.0.1' },
    rate: { type: 'string', default: '0' },
  },
});
if (!values.dist || !values.images) {
  console.error('usage: serve.mjs --dist DIR --images DIR [--port N] [--host ADDRESS] [--rate BYTES_PER_SECOND]');
  process.exit(2);
}
const rate = Number(values.rate);
const demo = fileURLToPath(new URL('../demo/', import.meta.url));
const server = await startServer({
  mounts: [
    { prefix: '/demo/', dir: demo, unpaced: true },
    { prefix: '/tavix/', dir: values.dist, unpaced: true },
    { prefix: '/images/', dir: values.images },
  ],
  rate,
  port: Number(values.port),
  host: values.host,
  quiet: false,
});
console.log(`TAVIX demo: ${server.url}/demo/  (${rate > 0 ? `${rate} bytes per second` : 'full speed'}; Ctrl+C ends)`);
