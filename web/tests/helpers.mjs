// Shared by the web tests and benchmarks: sample .tvx files made with the
// native `tavix` tool, PNM files, and the WebAssembly decoder under Node.
import { execFileSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { mkdirSync, readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join } from 'node:path';

import { makeSourceImages as makeImages } from '../tools/images.mjs';

export { readPnm, writePnm } from '../tools/images.mjs';

const require = createRequire(import.meta.url);

export const env = {
  tool: process.env.TAVIX_TOOL,
  dist: process.env.TAVIX_WEB_DIST,
  samples: process.env.TAVIX_SAMPLES,
  work: process.env.TAVIX_TEST_WORK,
};

export function requireEnv() {
  for (const [name, value] of Object.entries(env))
    if (!value) throw new Error(`environment variable for '${name}' is not set (run through CTest)`);
  mkdirSync(env.work, { recursive: true });
}

export function tavix(...args) {
  return execFileSync(env.tool, ['--no-progress', ...args], { stdio: ['ignore', 'pipe', 'pipe'] });
}

export function makeSourceImages(dir) {
  return makeImages(env.samples, dir);
}

// Compresses `source` with the tool's options; returns the .tvx path.
export function compress(source, name, options, dir = env.work) {
  const out = join(dir, `${name}.tvx`);
  tavix('compress', ...options, source, out);
  return out;
}

let modulePromise = null;
export function loadDecoderModule() {
  if (!modulePromise) {
    const core = require(join(env.dist, 'decoder-core.js'));
    const factory = require(join(env.dist, 'tavix-decoder.js'));
    modulePromise = core.loadModule(factory, readFileSync(join(env.dist, 'tavix-decoder.wasm')));
  }
  return modulePromise;
}

export function decoderCore() {
  return require(join(env.dist, 'decoder-core.js'));
}

export function hash(bytes) {
  return createHash('sha256').update(bytes).digest('hex');
}
