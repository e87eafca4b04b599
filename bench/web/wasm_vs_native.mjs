// WebAssembly against native decoding of a ~3-megapixel .tvx file: the
// same codec sources, the same calls (one job from memory: header, image),
// fastest of several runs each. Goal: the WebAssembly module within 2x.
//   node bench/web/wasm_vs_native.mjs [--build DIR] [--runs N]
import { execFileSync } from 'node:child_process';
import { readFileSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

import { buildDir, compress, largePhoto, root, webRequire } from './common.mjs';

const build = buildDir();
const runsAt = process.argv.indexOf('--runs');
const runs = runsAt > 0 ? Number(process.argv[runsAt + 1]) : 5;
const work = join(tmpdir(), 'tavix-web-bench');
const photo = largePhoto(work);

// The native side, built against the build's TavixLib.
const native = join(work, 'native_decode');
execFileSync('c++', ['-O2', '-std=c++20', `-I${root}`, join(root, 'bench/web/native_decode.cpp'),
  `-L${join(build, 'codec')}`, '-lTavixLib', `-Wl,-rpath,${join(build, 'codec')}`, '-o', native]);

const core = webRequire(join(build, 'web/dist/decoder-core.js'));
const module = await core.loadModule(webRequire(join(build, 'web/dist/tavix-decoder.js')),
  readFileSync(join(build, 'web/dist/tavix-decoder.wasm')));

// Fastest wall-clock and processor time of the runs, in milliseconds.
function wasmDecode(bytes) {
  let best = Infinity;
  let bestCpu = Infinity;
  for (let i = 0; i < runs; ++i) {
    const start = performance.now();
    const cpuStart = process.cpuUsage();
    const decoder = new core.StreamDecoder(module, { progressive: false });
    decoder.append(bytes);
    decoder.endStream();
    const result = decoder.run();
    decoder.destroy();
    if (result !== core.DONE) throw new Error(`wasm decode failed: ${result}`);
    best = Math.min(best, performance.now() - start);
    const cpu = process.cpuUsage(cpuStart);
    bestCpu = Math.min(bestCpu, (cpu.user + cpu.system) / 1000);
  }
  return [best, bestCpu];
}

// glibc hands the decoder's large planes back to the system after every
// decode, so each native run pays its page faults again; the WebAssembly
// memory stays grown. The warm native run keeps its heap as well, which is
// the like-for-like comparison (and the goal's).
const warmHeap = { ...process.env, GLIBC_TUNABLES: 'glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=4294967295' };
const nativeDecode = (file, env) => execFileSync(native, [file, String(runs)], { env }).toString().trim().split(' ').map(Number);

console.log(`photograph: 2100 x 1400 (2.94 MP), fastest of ${runs} runs, node ${process.version}; times in ms (processor time)`);
console.log('file                         bytes   native  native-warm    wasm   wasm/native  wasm/native-warm');
for (const [name, options] of [['quality 40', ['--quality', '40']], ['1 MB (file size)', ['--size', '1000000']],
  ['quality 40, fast layer', ['--quality', '40', '--layer', 'fast']]]) {
  const file = compress(build, photo, join(work, `bench-${name.replace(/\W+/g, '-')}.tvx`), ...options);
  const bytes = readFileSync(file);
  const [, nativeCpu] = nativeDecode(file, process.env);
  const [, warmCpu] = nativeDecode(file, warmHeap);
  const [, wasmCpu] = wasmDecode(bytes);
  const f = (v, w) => v.toFixed(1).padStart(w);
  console.log(`${name.padEnd(24)} ${String(statSync(file).size).padStart(9)} ${f(nativeCpu, 8)} ${f(warmCpu, 12)} ${f(wasmCpu, 7)}` +
    ` ${(wasmCpu / nativeCpu).toFixed(2).padStart(13)} ${(wasmCpu / warmCpu).toFixed(2).padStart(17)}`);
}
