// <tavix-image> in headless Chromium: progressive display, the byte limit
// and "Improve...", the failure state, the context menu and both saves.
import assert from 'node:assert/strict';
import { existsSync, mkdirSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';

import puppeteer from 'puppeteer-core';

import { startServer } from '../tools/server.mjs';
import { enlarge, writePnm } from '../tools/images.mjs';
import { compress, env, makeSourceImages, readPnm, requireEnv, tavix } from './helpers.mjs';

requireEnv();
const work = join(env.work, 'browser');
const downloads = join(work, 'downloads');
let server;
let browser;
let page;
const files = {};

before(async () => {
  rmSync(work, { recursive: true, force: true });
  mkdirSync(downloads, { recursive: true });
  const sources = makeSourceImages(work);
  const narrow = join(work, 'narrow.ppm');
  writePnm(narrow, enlarge(readPnm(sources.colour), 0.67)); // 201 pixels: rows need padding
  const narrowGrey = join(work, 'narrow-grey.pgm');
  writePnm(narrowGrey, enlarge(readPnm(sources.grey), 0.67));
  files.colour = compress(sources.colour, 'colour', ['--quality', '40'], work);
  files.large = compress(sources.colour, 'large', ['--size', '50000'], work);
  files.grey16 = compress(sources.grey16, 'grey16', ['--lossless'], work);
  files.narrow = compress(narrow, 'narrow', ['--quality', '30'], work);
  files.narrowGrey = compress(narrowGrey, 'narrow-grey', ['--quality', '30'], work);
  const damaged = readFileSync(files.colour);
  damaged[20] ^= 0xff;
  files.damaged = join(work, 'damaged.tvx');
  writeFileSync(files.damaged, damaged);
  writeFileSync(join(work, 'page.html'),
    '<!doctype html><html><body style="margin:0"><script type="module" src="/tavix/tavix-image.js"></script></body></html>');

  server = await startServer({ mounts: [{ prefix: '/tavix/', dir: env.dist }, { prefix: '/work/', dir: work }] });
  browser = await puppeteer.launch({
    executablePath: process.env.TAVIX_CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
  });
  page = await browser.newPage();
  await page.setViewport({ width: 900, height: 700, deviceScaleFactor: 1 });
  const session = await browser.target().createCDPSession();
  await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  await page.goto(`${server.url}/work/page.html`);
  await page.waitForFunction(() => customElements.get('tavix-image'));
});

after(async () => {
  await browser?.close();
  await server?.close();
});

const fileUrl = (path, query = '') => `/work/${path.slice(work.length + 1)}${query}`;

// Places a fresh element and records its events in window.events.
async function place(attributes) {
  await page.evaluate((attrs) => {
    document.body.replaceChildren();
    window.events = [];
    const element = document.createElement('tavix-image');
    for (const type of ['tavix-header', 'tavix-image', 'tavix-paused', 'tavix-ended'])
      element.addEventListener(type, (event) => window.events.push({ type, final: event.detail.final }));
    for (const [name, value] of Object.entries(attrs)) element.setAttribute(name, value);
    document.body.append(element);
  }, attributes);
}

const waitForEvent = (type) => page.waitForFunction((t) => window.events.some((e) => e.type === t), { timeout: 30000 }, type);
const events = () => page.evaluate(() => window.events);

async function canvasPixels() {
  return page.evaluate(() => {
    const canvas = document.querySelector('tavix-image').shadowRoot.querySelector('canvas');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let text = '';
    for (let i = 0; i < data.length; i += 0x8000) text += String.fromCharCode.apply(null, data.subarray(i, i + 0x8000));
    return { width: canvas.width, height: canvas.height, rgba: btoa(text) };
  });
}

// The tool's decode as RGBA (grey spread over the three channels).
function toolRgba(path) {
  const out = path.replace(/\.tvx$/, '-tool.pnm');
  tavix('decompress', path, out.replace(/\.pnm$/, '.ppm'));
  const image = readPnm(out.replace(/\.pnm$/, '.ppm'));
  const rgba = Buffer.alloc(image.width * image.height * 4);
  for (let i = 0; i < image.width * image.height; ++i) {
    for (let c = 0; c < 3; ++c) rgba[4 * i + c] = image.samples[i * image.planes + (image.planes === 3 ? c : 0)];
    rgba[4 * i + 3] = 255;
  }
  return { width: image.width, height: image.height, rgba, image };
}

async function assertShowsToolDecode(path) {
  const expected = toolRgba(path);
  const shown = await canvasPixels();
  assert.deepEqual([shown.width, shown.height], [expected.width, expected.height]);
  assert.ok(Buffer.from(shown.rgba, 'base64').equals(expected.rgba), 'canvas differs from the tool decode');
}

async function openMenuWithMouse() {
  const box = await (await page.$('tavix-image')).boundingBox();
  await page.mouse.click(box.x + 20, box.y + 20, { button: 'right' });
  return menuEntries();
}

function menuEntries() {
  return page.evaluate(() => {
    const menu = document.querySelector('tavix-image').shadowRoot.querySelector('.menu');
    if (!menu) return null;
    return [...menu.children].map((li) => li.getAttribute('role') === 'separator'
      ? '-'
      : `${li.getAttribute('aria-disabled') === 'true' && li.classList.contains('command') ? '(grey) ' : ''}${li.textContent}`);
  });
}

describe('<tavix-image> in Chromium', () => {
  test('a throttled file shows at least three previews, then exactly the tool decode', async () => {
    await place({ src: fileUrl(files.colour, '?rate=3000'), progressive: '' });
    await waitForEvent('tavix-ended');
    const log = await events();
    const previews = log.filter((e) => e.type === 'tavix-image' && !e.final).length;
    assert.ok(previews >= 3, `${previews} previews`);
    assert.deepEqual(log.filter((e) => e.type === 'tavix-image').at(-1), { type: 'tavix-image', final: true });
    await assertShowsToolDecode(files.colour);
  });

  test('limit 2000 stops the transfer; "Improve..." fetches the rest as a range', async () => {
    const length = readFileSync(files.large).length;
    assert.ok(Math.abs(length - 50000) < 1000);
    const before = server.requests.length;
    await place({ src: fileUrl(files.large, '?rate=20000'), limit: '2000' });
    await waitForEvent('tavix-paused');
    await sleep(300);
    const received = await page.evaluate(() => document.querySelector('tavix-image').state.received);
    assert.ok(received >= 2000 && received < length / 4, `${received} bytes received`);
    const menu = await openMenuWithMouse();
    assert.deepEqual(menu.slice(0, 8), ['(grey) Save image as...', '-', 'TAVIX Homepage...', '-', 'Improve...', '-',
      'Transfer Status:', `  ${received} of ${length} Byte transfered`]);
    await page.evaluate(() => [...document.querySelector('tavix-image').shadowRoot.querySelectorAll('.menu li')]
      .find((li) => li.textContent === 'Improve...').click());
    await waitForEvent('tavix-ended');
    const fetched = server.requests.slice(before).filter((r) => r.path.endsWith('large.tvx'));
    assert.deepEqual(fetched.map((r) => [r.range, r.status]), [[null, 200], [`bytes=${received}-`, 206]]);
    await assertShowsToolDecode(files.large);
    assert.deepEqual((await openMenuWithMouse()).slice(0, 5),
      ['Save image as...', '-', 'TAVIX Homepage...', '-', 'Transfer Status:']);
  });

  test('a damaged header paints the failure grey and offers no saving', async () => {
    await place({ src: fileUrl(files.damaged), width: '120', height: '80' });
    await waitForEvent('tavix-ended');
    const shown = Buffer.from((await canvasPixels()).rgba, 'base64');
    for (let i = 0; i < shown.length; i += 4) assert.deepEqual([...shown.subarray(i, i + 4)], [215, 215, 215, 255]);
    const length = readFileSync(files.damaged).length;
    assert.deepEqual(await openMenuWithMouse(),
      ['(grey) Save image as...', '-', 'TAVIX Homepage...', '-', 'Transfer Status:', `  ${length} of ${length} Byte transfered`]);
  });

  const menus = [
    // file, compression ratio source, colour mode, compression mode
    ['colour', 300 * 200 * 3, 'True Color (24 bit)', 'Lossy'],
    ['grey16', 300 * 200 * 2, 'Grayscale (16 bit)', 'Lossless'],
  ];
  for (const [name, rawSize, colourMode, mode] of menus) {
    test(`menu of the ${name} image, opened from the keyboard`, async () => {
      const length = readFileSync(files[name]).length;
      await place({ src: fileUrl(files[name]) });
      await waitForEvent('tavix-ended');
      await page.focus('tavix-image');
      await page.keyboard.down('Shift');
      await page.keyboard.press('F10');
      await page.keyboard.up('Shift');
      const ratio = (rawSize / length).toFixed(2);
      assert.deepEqual(await menuEntries(), ['Save image as...', '-', 'TAVIX Homepage...', '-', 'Transfer Status:',
        `  ${length} of ${length} Byte transfered`, '-', 'Image information:', '  Image size: 300 x 200',
        `  Color mode: ${colourMode}`, '-', 'Compression parameter:', `  Compression ratio: ${ratio}`,
        `  Compression mode: ${mode}`]);
      const focused = () => page.evaluate(() => document.querySelector('tavix-image').shadowRoot.activeElement?.textContent);
      assert.equal(await focused(), 'Save image as...');
      await page.keyboard.press('ArrowDown');
      assert.equal(await focused(), 'TAVIX Homepage...');
      await page.keyboard.press('Escape');
      assert.equal(await menuEntries(), null);
      const label = await page.evaluate(() => document.querySelector('tavix-image').shadowRoot.querySelector('canvas').getAttribute('aria-label'));
      assert.match(label, new RegExp(`^TAVIX image ${name}, 300 x 200`));
    });
  }

  test('"autorefresh" opens no menu', async () => {
    await place({ src: fileUrl(files.colour), autorefresh: 'TRUE' });
    await waitForEvent('tavix-ended');
    assert.equal(await openMenuWithMouse(), null);
  });
});

describe('saving', () => {
  async function save(path, type, name) {
    await place({ src: fileUrl(path) });
    await waitForEvent('tavix-ended');
    await openMenuWithMouse();
    await page.evaluate(() => document.querySelector('tavix-image').shadowRoot.querySelector('.menu li').click());
    const dialog = await page.evaluate(() => {
      const d = document.querySelector('tavix-image').shadowRoot.querySelector('dialog');
      return { title: d.querySelector('h2').textContent, file: d.querySelector('input').value,
        types: [...d.querySelectorAll('option')].map((o) => o.textContent) };
    });
    assert.deepEqual(dialog.types, ['TAVIX Image (*.tvx)', 'Windows Bitmap (*.bmp)']);
    assert.equal(dialog.title, 'Save Image as...');
    await page.evaluate((t, n) => {
      const d = document.querySelector('tavix-image').shadowRoot.querySelector('dialog');
      d.querySelector('input').value = n;
      d.querySelector('select').value = t;
      d.querySelector('button[value=save]').click();
    }, type, name);
    const expected = `${name.replace(/\..*$/, '')}.${type}`;
    const target = join(downloads, expected);
    for (let i = 0; i < 100 && !(existsSync(target) && !readdirSync(downloads).some((f) => f.endsWith('.crdownload'))); ++i)
      await sleep(100);
    assert.ok(existsSync(target), `${expected} was not saved`);
    return { saved: readFileSync(target), dialog };
  }

  test('the received .tvx bytes, unchanged, under the URL\'s name', async () => {
    const { saved, dialog } = await save(files.colour, 'tvx', 'colour');
    assert.equal(dialog.file, 'colour');
    assert.ok(saved.equals(readFileSync(files.colour)));
  });

  // The bitmap layout, checked field by field against the tool's decode.
  for (const [name, colour] of [['narrow', true], ['narrowGrey', false]]) {
    test(`a ${colour ? '24-bit colour' : '8-bit grey'} bitmap of the decoded pixels`, async () => {
      const { saved } = await save(files[name], 'bmp', `${name}.large.jpeg`);
      const { width, height, image } = toolRgba(files[name]);
      assert.equal(width, 201);
      const row = colour ? 3 * width + (width % 4) : Math.ceil(width / 4) * 4;
      const offset = colour ? 54 : 1078;
      assert.equal(saved.toString('latin1', 0, 2), 'BM');
      assert.deepEqual([saved.readUInt32LE(2), saved.readUInt32LE(10), saved.readUInt32LE(14), saved.readInt32LE(18),
        saved.readInt32LE(22), saved.readUInt16LE(26), saved.readUInt16LE(28), saved.readUInt32LE(30),
        saved.readUInt32LE(34), saved.readInt32LE(38), saved.readInt32LE(42), saved.readUInt32LE(46)],
      [offset + row * height, offset, 40, width, height, 1, colour ? 24 : 8, 0, row * height, 2834, 2834, 0]);
      if (!colour) assert.deepEqual([...saved.subarray(54 + 4 * 77, 54 + 4 * 78)], [77, 77, 77, 0]);
      for (let y = 0; y < height; ++y) {
        const stored = saved.subarray(offset + (height - 1 - y) * row, offset + (height - y) * row);
        for (let x = 0; x < width; ++x) {
          const source = image.samples.subarray((y * width + x) * image.planes, (y * width + x + 1) * image.planes);
          const pixel = colour ? [...stored.subarray(3 * x, 3 * x + 3)].reverse() : [stored[x]];
          assert.deepEqual(pixel, colour ? [...source] : [source[0]], `pixel ${x}, ${y}`);
        }
        assert.ok(stored.subarray(colour ? 3 * width : width).every((b) => b === 0), `padding of row ${y}`);
      }
    });
  }
});
