// Time to the first preview of <tavix-image> in headless Chromium on a
// throttled 1 MB stream (the ~3-megapixel photograph), against the time the
// whole transfer takes; also the time to the final image. When the build
// has the plug-in's scripted host (nptavix-host), the native plug-in gets
// the same file at the same pace as the peer.
//   node bench/web/first_preview.mjs [--build DIR] [--rate BYTES_PER_SECOND]
import { execFileSync } from 'node:child_process';
import { existsSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

import { buildDir, compress, largePhoto, root, webRequire } from './common.mjs';

const { startServer } = await import(join(root, 'web/tools/server.mjs'));
const puppeteer = webRequire('puppeteer-core');

const build = buildDir();
const rateAt = process.argv.indexOf('--rate');
const rate = rateAt > 0 ? Number(process.argv[rateAt + 1]) : 256 * 1024;
const work = join(tmpdir(), 'tavix-web-bench');
const file = compress(build, largePhoto(work), join(work, 'stream-1mb.tvx'), '--size', '1000000');
writeFileSync(join(work, 'page.html'),
  '<!doctype html><body style="margin:0"><script type="module" src="/tavix/tavix-image.js"></script></body>');

const server = await startServer({
  mounts: [{ prefix: '/tavix/', dir: join(build, 'web/dist'), unpaced: true }, { prefix: '/work/', dir: work }],
  rate,
});
const webFirst = [];
const browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium', headless: true, args: ['--no-sandbox'] });
try {
  const page = await browser.newPage();
  await page.goto(`${server.url}/work/page.html?rate=0`);
  await page.waitForFunction(() => customElements.get('tavix-image'));
  // The page's first element compiles the WebAssembly code; a later one
  // finds it compiled (and tiered up).
  const runs = [['true', 'first element of the page'], ['true', 'next element'], ['false', 'next element']];
  for (const [progressive, which] of runs) {
    const timings = await page.evaluate((p) => new Promise((resolve) => {
      document.body.replaceChildren();
      const element = document.createElement('tavix-image');
      const start = performance.now();
      const marks = { previews: 0 };
      element.addEventListener('tavix-image', (event) => {
        const now = performance.now() - start;
        if (event.detail.final) marks.final = now;
        else if (marks.previews++ === 0) [marks.first, marks.firstBytes] = [now, element.state.received];
      });
      element.addEventListener('tavix-header', () => { marks.header = performance.now() - start; marks.headerBytes = element.state.received; });
      element.addEventListener('tavix-ended', () => resolve({ ...marks, received: element.state.received }));
      element.setAttribute('src', '/work/stream-1mb.tvx');
      element.setAttribute('progressive', p);
      element.setAttribute('width', '700');
      document.body.append(element);
    }), progressive);
    const transfer = (1000 * timings.received) / rate;
    console.log(`progressive=${progressive}, ${which}: ${timings.received} bytes at ${rate} bytes/s (transfer ${transfer.toFixed(0)} ms)`);
    console.log(`  header known ${timings.header.toFixed(0)} ms (${timings.headerBytes} bytes in)`);
    if (timings.first !== undefined)
      console.log(`  first preview ${timings.first.toFixed(0)} ms (${timings.firstBytes} bytes in), ` +
        `${timings.previews} previews; first preview / transfer time = ${(timings.first / transfer).toFixed(3)}`);
    console.log(`  final image ${timings.final.toFixed(0)} ms; final / transfer time = ${(timings.final / transfer).toFixed(2)}`);
    if (progressive === 'true') webFirst.push(timings.first);
  }
} finally {
  await browser.close();
  await server.close();
}

// The native plug-in in its scripted host: chunks of a twentieth of the
// rate every 50 ms, as the throttled server sends them.
const host = join(build, 'plugin', 'nptavix-host');
if (existsSync(host)) {
  const chunk = String(Math.round(rate / 20));
  const report = execFileSync(host, [file, '--chunk', chunk, '--pace', '50']).toString();
  const first = /first picture after ([\d.]+) s/.exec(report);
  if (first) {
    const nativeMs = 1000 * Number(first[1]);
    console.log(`native plug-in (nptavix-host, ${chunk}-byte chunks every 50 ms): first picture ${nativeMs.toFixed(0)} ms;` +
      ` web / native = ${webFirst.map((ms) => (ms / nativeMs).toFixed(2)).join(' (first element), ')} (next element)`);
  }
} else {
  console.log('(no nptavix-host in the build: the native plug-in comparison is left out)');
}
