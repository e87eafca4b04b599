// Test, demo and benchmark images: binary PGM/PPM files and variants of the
// shipped photograph (grey, 16-bit, enlarged).
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';

// Binary PGM/PPM: header fields, then samples (16-bit ones big-endian).
export function readPnm(path) {
  const bytes = readFileSync(path);
  const fields = [];
  let at = 0;
  while (fields.length < 4) {
    while (/\s/.test(String.fromCharCode(bytes[at]))) ++at;
    if (bytes[at] === 0x23) {
      while (bytes[at] !== 0x0a) ++at;
      continue;
    }
    let token = '';
    while (!/\s/.test(String.fromCharCode(bytes[at]))) token += String.fromCharCode(bytes[at++]);
    fields.push(token);
  }
  const [magic, width, height, maxValue] = [fields[0], +fields[1], +fields[2], +fields[3]];
  return { planes: magic === 'P6' ? 3 : 1, width, height, maxValue, samples: bytes.subarray(at + 1) };
}

export function writePnm(path, { planes, width, height, maxValue, samples }) {
  const head = Buffer.from(`${planes === 3 ? 'P6' : 'P5'}\n${width} ${height}\n${maxValue}\n`);
  writeFileSync(path, Buffer.concat([head, Buffer.from(samples.buffer, samples.byteOffset, samples.byteLength)]));
}

// Grey and 16-bit variants of the shipped colour photograph.
export function makeSourceImages(samples, dir) {
  mkdirSync(dir, { recursive: true });
  const colour = readPnm(join(samples, 'chelsea.ppm'));
  const n = colour.width * colour.height;
  const grey = new Uint8Array(n);
  const grey16 = new Uint8Array(2 * n);
  const rgb48 = new Uint8Array(6 * n);
  for (let i = 0; i < n; ++i) {
    const [r, g, b] = colour.samples.subarray(3 * i, 3 * i + 3);
    grey[i] = Math.round(0.299 * r + 0.587 * g + 0.114 * b);
    const wide = grey[i] * 200 + (i % 7);
    grey16[2 * i] = wide >> 8;
    grey16[2 * i + 1] = wide & 255;
    for (let c = 0; c < 3; ++c) {
      const w = colour.samples[3 * i + c] * 257 - (i % 5);
      rgb48[6 * i + 2 * c] = Math.max(0, w) >> 8;
      rgb48[6 * i + 2 * c + 1] = Math.max(0, w) & 255;
    }
  }
  const paths = {
    colour: join(samples, 'chelsea.ppm'),
    grey: join(dir, 'chelsea-grey.pgm'),
    grey16: join(dir, 'chelsea-grey16.pgm'),
    rgb48: join(dir, 'chelsea-rgb48.ppm'),
  };
  writePnm(paths.grey, { planes: 1, width: colour.width, height: colour.height, maxValue: 255, samples: grey });
  writePnm(paths.grey16, { planes: 1, width: colour.width, height: colour.height, maxValue: 65535, samples: grey16 });
  writePnm(paths.rgb48, { planes: 3, width: colour.width, height: colour.height, maxValue: 65535, samples: rgb48 });
  return paths;
}

// The photograph enlarged `factor` times with bilinear interpolation.
export function enlarge(image, factor) {
  const width = Math.round(image.width * factor);
  const height = Math.round(image.height * factor);
  const { planes } = image;
  const samples = new Uint8Array(width * height * planes);
  for (let y = 0; y < height; ++y) {
    const sy = Math.min(image.height - 1, Math.max(0, (y + 0.5) / factor - 0.5));
    const y0 = Math.floor(sy);
    const y1 = Math.min(image.height - 1, y0 + 1);
    const fy = sy - y0;
    for (let x = 0; x < width; ++x) {
      const sx = Math.min(image.width - 1, Math.max(0, (x + 0.5) / factor - 0.5));
      const x0 = Math.floor(sx);
      const x1 = Math.min(image.width - 1, x0 + 1);
      const fx = sx - x0;
      for (let c = 0; c < planes; ++c) {
        const at = (yy, xx) => image.samples[(yy * image.width + xx) * planes + c];
        const top = at(y0, x0) * (1 - fx) + at(y0, x1) * fx;
        const bottom = at(y1, x0) * (1 - fx) + at(y1, x1) * fx;
        samples[(y * width + x) * planes + c] = Math.round(top * (1 - fy) + bottom * fy);
      }
    }
  }
  return { planes, width, height, maxValue: 255, samples };
}

// A large photograph of real detail: the picture tiled `across` x `down`
// times, every other copy mirrored so that no edge jumps.
export function mirrorTiles(image, across, down) {
  const { planes } = image;
  const width = image.width * across;
  const height = image.height * down;
  const samples = new Uint8Array(width * height * planes);
  for (let y = 0; y < height; ++y) {
    const ty = Math.floor(y / image.height);
    const sy = ty % 2 ? image.height - 1 - (y % image.height) : y % image.height;
    for (let x = 0; x < width; ++x) {
      const tx = Math.floor(x / image.width);
      const sx = tx % 2 ? image.width - 1 - (x % image.width) : x % image.width;
      for (let c = 0; c < planes; ++c) samples[(y * width + x) * planes + c] = image.samples[(sy * image.width + sx) * planes + c];
    }
  }
  return { planes, width, height, maxValue: 255, samples };
}
