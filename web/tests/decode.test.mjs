// The WebAssembly decoder under Node: its images equal the native tool's
// decode of the same files, whichever way the bytes arrive.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { before, describe, test } from 'node:test';

import { compress, decoderCore, env, hash, loadDecoderModule, makeSourceImages, readPnm, requireEnv, tavix } from './helpers.mjs';

requireEnv();

// Feeds `bytes` in the given chunk sizes (cycled), running the decoder the
// way the page's worker does; `pauseAt` stops at a byte limit, runs once
// paused (pausedImages: the pictures that run showed) and then delivers the
// rest.
export async function decodeStream(bytes, { chunks = [bytes.length], progressive = true, pauseAt = 0, shown = null } = {}) {
  const core = decoderCore();
  const module = await loadDecoderModule();
  const images = [];
  const decoder = new core.StreamDecoder(module, {
    progressive,
    onImage: ({ final, geometry, pixels }) =>
      images.push({ final, geometry, samples: core.packedSamples(pixels, geometry), rgba: final ? core.toRgba(pixels, geometry) : null }),
  });
  if (shown) decoder.setShownSize(shown[0], shown[1]);
  let at = 0;
  let k = 0;
  let pausedImages = null;
  const step = () => (decoder.wantsRun() ? decoder.run() : core.WAITING);
  while (at < bytes.length && decoder.result === null) {
    const end = Math.min(bytes.length, at + chunks[k++ % chunks.length]);
    decoder.append(bytes.subarray(at, end));
    at = end;
    if (pauseAt && pausedImages === null && at >= pauseAt) {
      decoder.setPaused(true);
      const before = images.length;
      step();
      pausedImages = images.slice(before);
      decoder.setPaused(false);
    }
    step();
  }
  decoder.endStream();
  step();
  const result = decoder.result;
  const header = decoder.header;
  decoder.destroy();
  const previews = images.filter((image) => !image.final);
  return { result, header, previews, final: images.find((image) => image.final), pausedImages };
}

// The native decode as the tool writes it, and the wasm samples mapped the
// same way: 16-bit grey is stored signed (the tool adds 32768), 16-bit
// samples are cut at the file's maximum value and written big-endian.
function nativeDecode(path, planes) {
  const out = path.replace(/\.tvx$/, planes === 3 ? '.ppm' : '.pgm');
  tavix('decompress', path, out);
  return readPnm(out);
}

function asToolWrites(final, maxValue, colorType) {
  const { geometry, samples } = final;
  if (geometry.bytesPerSample === 1) return samples;
  const words = new DataView(samples.buffer, samples.byteOffset, samples.byteLength);
  const out = new Uint8Array(samples.length);
  for (let i = 0; i < samples.length; i += 2) {
    let value = colorType === 3 ? words.getInt16(i, true) + 32768 : words.getUint16(i, true);
    value = Math.min(value, maxValue);
    out[i] = value >> 8;
    out[i + 1] = value & 255;
  }
  return out;
}

const cases = [
  // name, source, tool options, colour type
  ['colour-q40', 'colour', ['--quality', '40'], 2],
  ['colour-4000-bytes', 'colour', ['--size', '4000'], 2],
  ['colour-18-10-fast-full-chroma', 'colour', ['--wavelet', '18/10', '--layer', 'fast', '--no-downsampling', '--quality', '25'], 2],
  ['colour-mixed-fast-res', 'colour', ['--wavelet', 'mixed', '--layer', 'fast-res', '--bpp', '1.5'], 2],
  ['grey-5-3', 'grey', ['--wavelet', '5/3', '--quality', '30'], 0],
  ['grey-lossless', 'grey', ['--lossless'], 0],
  ['grey16-lossless', 'grey16', ['--lossless'], 3],
  ['grey16-lossy', 'grey16', ['--quality', '20'], 3],
  ['rgb48-q30', 'rgb48', ['--quality', '30'], 4],
];

describe('wasm decoder equals the native tool', () => {
  let sources;
  before(() => {
    sources = makeSourceImages(env.work);
  });

  for (const [name, source, options, colorType] of cases) {
    test(name, async () => {
      const path = compress(sources[source], name, options);
      const bytes = readFileSync(path);
      const whole = await decodeStream(bytes);
      assert.equal(whole.result, 0);
      assert.equal(whole.header.colorType, colorType);
      const native = nativeDecode(path, whole.header.planes);
      assert.deepEqual([whole.header.width, whole.header.height], [native.width, native.height]);
      const mine = asToolWrites(whole.final, native.maxValue, colorType);
      assert.ok(Buffer.from(mine).equals(native.samples), 'decoded samples differ from the tool');

      // Any delivery gives the same previews and the same final image.
      const trickled = await decodeStream(bytes, { chunks: [97, 1500, 13, 4096] });
      assert.equal(trickled.result, 0);
      assert.equal(hash(trickled.final.samples), hash(whole.final.samples));
      assert.deepEqual(trickled.previews.map((p) => hash(p.samples)), whole.previews.map((p) => hash(p.samples)));
    });
  }
});

describe('streaming behaviour', () => {
  let colour;
  before(() => {
    const sources = makeSourceImages(env.work);
    colour = readFileSync(compress(sources.colour, 'stream-colour', ['--quality', '45']));
  });

  test('progressive delivery shows several previews, each before the final image', async () => {
    const { result, previews, final } = await decodeStream(colour, { chunks: [512] });
    assert.equal(result, 0);
    assert.ok(previews.length >= 3, `only ${previews.length} previews`);
    assert.ok(final);
    assert.notEqual(hash(previews.at(-1).samples), hash(final.samples));
  });

  test('previews shown smaller than the image are decoded smaller; the final image is not', async () => {
    const full = await decodeStream(colour, { chunks: [512] });
    const { width, height } = full.final.geometry;
    const small = await decodeStream(colour, { chunks: [512], shown: [Math.ceil(width / 4), Math.ceil(height / 4)] });
    assert.equal(small.result, 0);
    assert.ok(small.previews.length >= 3, `only ${small.previews.length} previews`);
    for (const preview of small.previews) {
      assert.equal(preview.geometry.width, Math.ceil(width / 4));
      assert.equal(preview.geometry.height, Math.ceil(height / 4));
    }
    assert.equal(hash(small.final.samples), hash(full.final.samples));
  });

  test('without "progressive" only the final image is shown', async () => {
    const { result, previews, final } = await decodeStream(colour, { chunks: [512], progressive: false });
    assert.equal(result, 0);
    assert.equal(previews.length, 0);
    assert.ok(final);
  });

  for (const progressive of [true, false]) {
    test(`a pause at the byte limit shows the best preview (progressive ${progressive}), the rest completes it`, async () => {
      const whole = await decodeStream(colour);
      const paused = await decodeStream(colour, { chunks: [1000], progressive, pauseAt: 2000 });
      assert.equal(paused.result, 0);
      // The last picture of the pause is the whole of the first 2000 bytes.
      const prefix = await decodeStream(colour.subarray(0, 2000));
      assert.equal(hash(paused.pausedImages.at(-1).samples), hash(prefix.final.samples));
      if (!progressive) assert.equal(paused.pausedImages.length, 1);
      assert.equal(hash(paused.final.samples), hash(whole.final.samples));
    });
  }

  const damaged = [
    // name, change to the file, expected result
    ['header field damaged', (b) => { b[20] ^= 0xff; }, -6],
    ['wrong magic', (b) => { b[0] ^= 0xff; }, -4],
    ['cut inside the header', (b) => b.subarray(0, 30), -6],
  ];
  for (const [name, damage, code] of damaged) {
    test(`${name} ends with code ${code} and no image`, async () => {
      const bytes = Buffer.from(colour);
      const changed = damage(bytes) ?? bytes;
      const { result, final, previews } = await decodeStream(changed, { chunks: [700] });
      assert.equal(result, code);
      assert.equal(final, undefined);
      assert.equal(previews.length, 0);
    });
  }

  // Damaged streams of every kind end with an image or an error code; the
  // module never traps and stays usable. Fixed seed: the same cases each run.
  test('random damage and truncation never break the decoder', async () => {
    let seed = 12345;
    const random = (n) => {
      seed = (seed * 1103515245 + 12345) % 2147483648;
      return seed % n;
    };
    const outcomes = new Set();
    for (let i = 0; i < 60; ++i) {
      const bytes = Buffer.from(colour.subarray(0, i % 3 === 0 ? random(i % 2 ? 80 : colour.length) : colour.length));
      for (let k = random(4) - 1; k > 0 && bytes.length; --k) bytes[random(random(2) ? Math.min(64, bytes.length) : bytes.length)] ^= 1 << random(8);
      const { result, final } = await decodeStream(bytes, { chunks: [1 + random(3000)] });
      assert.ok(Number.isInteger(result) && result <= 0 && result !== -1000, `case ${i}: result ${result}`);
      assert.equal(final !== undefined, result === 0, `case ${i}`);
      outcomes.add(result);
    }
    assert.ok(outcomes.has(0) && outcomes.size > 1, [...outcomes].join());
    assert.equal((await decodeStream(colour)).result, 0);
  });
});
