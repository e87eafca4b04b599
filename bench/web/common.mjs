// Shared by the web benchmarks: the ~3-megapixel photograph, the tool, and
// the page's modules.
import { execFileSync } from 'node:child_process';
import { existsSync, mkdirSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

import { mirrorTiles, readPnm, writePnm } from '../../web/tools/images.mjs';

export const root = resolve(fileURLToPath(new URL('../..', import.meta.url)));
export const webRequire = createRequire(join(root, 'web', 'package.json'));

// --build DIR (default build): where tools/tavix and web/dist are.
export function buildDir() {
  const at = process.argv.indexOf('--build');
  const dir = resolve(at > 0 ? process.argv[at + 1] : join(root, 'build'));
  for (const needed of ['tools/tavix', 'web/dist/tavix-decoder.wasm'])
    if (!existsSync(join(dir, needed))) throw new Error(`${join(dir, needed)} is missing: build the targets tavix and tavix_web`);
  return dir;
}

// The shipped photograph tiled 7 x 7 with mirrored copies: 2100 x 1400
// pixels (2.9 megapixels) of real photographic detail.
export function largePhoto(work) {
  mkdirSync(work, { recursive: true });
  const path = join(work, 'photo-3mp.ppm');
  if (!existsSync(path)) writePnm(path, mirrorTiles(readPnm(join(root, 'samples', 'chelsea.ppm')), 7, 7));
  return path;
}

export function compress(build, source, out, ...options) {
  execFileSync(join(build, 'tools', 'tavix'), ['--no-progress', 'compress', ...options, source, out]);
  return out;
}
