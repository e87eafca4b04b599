// Makes the demo page's .tvx files from the shipped photograph with the
// native tool: node tools/make-demo-images.mjs TAVIX_TOOL SAMPLES_DIR OUT_DIR
import { execFileSync } from 'node:child_process';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';

import { enlarge, makeSourceImages, readPnm, writePnm } from './images.mjs';

const [tool, samples, out] = process.argv.slice(2);
if (!tool || !samples || !out) {
  console.error('usage: make-demo-images.mjs TAVIX_TOOL SAMPLES_DIR OUT_DIR');
  process.exit(2);
}
mkdirSync(out, { recursive: true });
const sources = makeSourceImages(samples, join(out, 'sources'));
const large = join(out, 'sources', 'chelsea-large.ppm');
writePnm(large, enlarge(readPnm(sources.colour), 3));

const compress = (source, name, ...options) =>
  execFileSync(tool, ['--no-progress', 'compress', ...options, source, join(out, `${name}.tvx`)], { stdio: 'inherit' });
compress(sources.colour, 'chelsea', '--quality', '40');
compress(large, 'chelsea-large', '--quality', '45');
compress(sources.grey, 'chelsea-grey', '--lossless');
compress(sources.colour, 'chelsea-4000', '--size', '4000');

// A file whose header is damaged: the component shows its failure state.
const damaged = readFileSync(join(out, 'chelsea.tvx'));
damaged[20] ^= 0xff;
writeFileSync(join(out, 'damaged.tvx'), damaged);
console.log(`demo images in ${out}`);
