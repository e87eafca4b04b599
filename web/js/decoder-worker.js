// The decoding worker of one <tavix-image>: takes the bytes the page
// receives and sends back the header, every preview and the final image as
// RGBA, so the page never waits for the codec.
//
// In:  {type: 'init', progressive, compiled (a WebAssembly.Module, optional)}, {type: 'data', bytes}, {type: 'pause'},
//      {type: 'resume'}, {type: 'end'}, {type: 'shown', width, height} (device pixels the element shows)
// Out: {type: 'header', header}, {type: 'image', final, width, height, rgba},
//      {type: 'paused'}, {type: 'ended', result}
/* global importScripts, createTavixDecoder, TavixCore */
'use strict';

importScripts('tavix-decoder.js', 'decoder-core.js');

const pending = [];
let decoder = null;
let headerSent = false;
let runScheduled = false;
let wasm = null;
let loading = false;

// The page compiles the WebAssembly module once and hands it to every
// worker with 'init'; without it the glue fetches the file itself.
function load(compiled) {
  loading = true;
  const options = compiled
    ? {
        instantiateWasm(imports, receive) {
          WebAssembly.instantiate(compiled, imports).then((instance) => receive(instance, compiled));
          return {};
        },
      }
    : {};
  createTavixDecoder(options).then(
    (loaded) => {
      wasm = loaded;
      for (const message of pending.splice(0)) handle(message);
    },
    () => self.postMessage({ type: 'ended', result: TavixCore.ERR_INTERNAL }),
  );
}

self.onmessage = (event) => {
  if (wasm) {
    handle(event.data);
    return;
  }
  pending.push(event.data);
  if (!loading && event.data.type === 'init') load(event.data.compiled);
};

function handle(message) {
  if (!decoder && message.type !== 'init') return;
  try {
    switch (message.type) {
      case 'init':
        decoder = new TavixCore.StreamDecoder(wasm, {
          progressive: message.progressive,
          onImage: sendImage,
          onHeader: sendHeader,
        });
        break;
      case 'data':
        decoder.append(new Uint8Array(message.bytes));
        break;
      case 'shown':
        decoder.setShownSize(message.width, message.height);
        return;
      case 'pause':
        decoder.setPaused(true);
        break;
      case 'resume':
        decoder.setPaused(false);
        break;
      case 'end':
        decoder.endStream();
        break;
      default:
        return;
    }
  } catch (error) {
    finish(TavixCore.ERR_INTERNAL);
    return;
  }
  scheduleRun();
}

// Chunks that arrive while a run is busy are taken together by the next.
function scheduleRun() {
  if (runScheduled || !decoder) return;
  runScheduled = true;
  setTimeout(() => {
    runScheduled = false;
    run();
  }, 0);
}

function run() {
  if (!decoder || decoder.result !== null || !decoder.wantsRun()) return;
  const code = decoder.run();
  sendHeader();
  if (code === TavixCore.WAITING) {
    if (decoder.paused) self.postMessage({ type: 'paused' });
    return;
  }
  finish(code);
}

function finish(result) {
  self.postMessage({ type: 'ended', result });
  if (decoder) decoder.destroy();
  decoder = null;
}

function sendHeader() {
  if (headerSent || !decoder || !decoder.header) return;
  headerSent = true;
  self.postMessage({ type: 'header', header: decoder.header });
}

function sendImage({ final, geometry, pixels }) {
  sendHeader();
  const rgba = TavixCore.toRgba(pixels, geometry);
  self.postMessage({ type: 'image', final, width: geometry.width, height: geometry.height, rgba }, [rgba.buffer]);
}
