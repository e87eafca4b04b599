// A picture of the demo page in headless Chromium while the limited image
// waits at its byte limit, with that image's context menu open:
//   node tools/screenshot.mjs --dist DIR --images DIR --out FILE.png [--rate BYTES_PER_SECOND]
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';

import puppeteer from 'puppeteer-core';

import { startServer } from './server.mjs';

const { values } = parseArgs({
  options: {
    dist: { type: 'string' },
    images: { type: 'string' },
    out: { type: 'string' },
    rate: { type: 'string', default: '4000' },
    chromium: { type: 'string', default: '/usr/bin/chromium' },
  },
});
if (!values.dist || !values.images || !values.out) {
  console.error('usage: screenshot.mjs --dist DIR --images DIR --out FILE.png [--rate BYTES_PER_SECOND]');
  process.exit(2);
}
const server = await startServer({
  mounts: [
    { prefix: '/demo/', dir: fileURLToPath(new URL('../demo/', import.meta.url)), unpaced: true },
    { prefix: '/tavix/', dir: values.dist, unpaced: true },
    { prefix: '/images/', dir: values.images },
  ],
  rate: Number(values.rate),
});
const browser = await puppeteer.launch({ executablePath: values.chromium, headless: true, args: ['--no-sandbox'] });
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1100, height: 1000, deviceScaleFactor: 1 });
  await page.goto(`${server.url}/demo/`);
  const limited = await page.waitForSelector('#limited tavix-image');
  await page.waitForFunction((element) => element.state?.decodeEnded, { timeout: 60000 }, limited);
  const box = await limited.boundingBox();
  await page.mouse.click(box.x + box.width * 0.55, box.y + box.height * 0.3, { button: 'right' });
  await page.screenshot({ path: values.out });
  console.log(`screenshot: ${values.out}`);
} finally {
  await browser.close();
  await server.close();
}
