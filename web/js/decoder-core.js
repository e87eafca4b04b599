// The streaming decoder over the WebAssembly module (tavix-decoder.js), and
// the conversion of decoded pixels to what a canvas shows. A classic script:
// the decoding worker loads it with importScripts, Node with require.
(function (root) {
  'use strict';

  const DONE = 0;
  const WAITING = 1;
  const ERR_CORRUPT = -6;
  const ERR_INTERNAL = -1000;

  // Bytes a run needs beyond the last one before the job is run again. A
  // dry read restarts the job from the first byte, so runs are spaced
  // geometrically: the work stays a small multiple of one full decode.
  const RUN_GROWTH = 1.3;
  const FIRST_RUN_BYTES = 64;

  // Loads the module. `wasmBinary` (bytes of tavix-decoder.wasm) is needed
  // where the glue cannot fetch it itself, as under Node.
  function loadModule(factory, wasmBinary) {
    const options = {};
    if (wasmBinary) options.wasmBinary = wasmBinary;
    return factory(options);
  }

  // One image: bytes go in as they arrive; onHeader hears of the header as
  // soon as it is read, onImage gets the images (final: false for previews,
  // true once for the final image).
  class StreamDecoder {
    constructor(module, { progressive = true, onImage = () => {}, onHeader = () => {} } = {}) {
      this.module = module;
      this.onImage = onImage;
      this.onHeader = onHeader;
      this.handle = module._tvx_create(progressive ? 1 : 0);
      if (!this.handle) throw new Error('out of memory');
      this.lastRunBytes = 0;
      this.lastRunKey = '';
      this.streamEnded = false;
      this.paused = false;
      this.result = null;
      this.header = null;
    }

    get received() {
      return this.module._tvx_received(this.handle);
    }

    append(bytes) {
      if (!bytes.length || this.result !== null) return;
      const at = this.module._tvx_reserve(this.handle, bytes.length);
      if (!at) throw new Error('out of memory');
      this.module.HEAPU8.set(bytes, at);
    }

    endStream() {
      this.streamEnded = true;
      this.module._tvx_end_stream(this.handle);
    }

    // Device pixels the previews are shown at: larger images give smaller
    // previews, which cost less to make (0 x 0: full size).
    setShownSize(width, height) {
      this.module._tvx_set_shown_size(this.handle, Math.round(width) | 0, Math.round(height) | 0);
    }

    // Paused: the transfer stopped at the byte limit and waits for more.
    setPaused(paused) {
      this.paused = paused;
      this.module._tvx_set_paused(this.handle, paused ? 1 : 0);
    }

    // Whether running now is worth it: the end, a pause, or enough new bytes.
    wantsRun() {
      if (this.result !== null) return false;
      const received = this.received;
      if (this.streamEnded || this.paused) return this.lastRunKey !== this.runKey();
      if (this.lastRunBytes === 0) return received >= FIRST_RUN_BYTES;
      return received >= this.lastRunBytes * RUN_GROWTH;
    }

    runKey() {
      return `${this.received}/${this.paused}/${this.streamEnded}`;
    }

    // Runs the job over what has arrived. Returns DONE, WAITING or an error
    // code; images are handed to onImage while it runs.
    run() {
      if (this.result !== null) return this.result;
      const m = this.module;
      this.lastRunBytes = this.received;
      this.lastRunKey = this.runKey();
      m.onImage = (final, pointer, width, height, planes, bytesPerSample, rowBytes) => {
        this.captureHeader();
        const geometry = { width, height, planes, bytesPerSample, rowBytes };
        this.onImage({ final: final !== 0, geometry, pixels: m.HEAPU8.subarray(pointer, pointer + rowBytes * height) });
      };
      m.onHeader = () => {
        this.captureHeader();
        this.onHeader(this.header);
      };
      let code;
      try {
        code = m._tvx_run(this.handle);
      } catch (error) {
        code = ERR_INTERNAL;
      } finally {
        m.onImage = null;
        m.onHeader = null;
      }
      this.captureHeader();
      if (code !== WAITING) this.result = code;
      return code;
    }

    // The header fields, once the job has read them.
    captureHeader() {
      const m = this.module;
      if (this.header || !m._tvx_header_known(this.handle)) return;
      const h = {
        width: m._tvx_width(this.handle),
        height: m._tvx_height(this.handle),
        colorType: m._tvx_color_type(this.handle),
        planes: m._tvx_planes(this.handle),
        bytesPerSample: m._tvx_bytes_per_sample(this.handle),
        compressionMode: m._tvx_compression_mode(this.handle),
      };
      h.rawSize = h.width * h.planes * h.bytesPerSample * h.height;
      this.header = h;
    }

    destroy() {
      if (this.handle) this.module._tvx_destroy(this.handle);
      this.handle = 0;
    }
  }

  // The pixels as the plug-in shows them, as RGBA: 8-bit samples as they
  // are, the high byte of 16-bit colour samples, and 16-bit grey stretched
  // from its minimum to its maximum with the float factor 255 / (max - min),
  // truncated (a flat image shows mid-grey).
  function toRgba(pixels, g) {
    const out = new Uint8ClampedArray(g.width * g.height * 4);
    if (g.planes === 1 && g.bytesPerSample === 2) {
      stretchGrey16(pixels, g, out);
      return out;
    }
    let o = 0;
    for (let y = 0; y < g.height; ++y) {
      const row = y * g.rowBytes;
      for (let x = 0; x < g.width; ++x) {
        for (let c = 0; c < 3; ++c) {
          const plane = g.planes === 3 ? c : 0;
          const at = row + (x * g.planes + plane) * g.bytesPerSample;
          out[o++] = g.bytesPerSample === 2 ? pixels[at + 1] : pixels[at];
        }
        out[o++] = 255;
      }
    }
    return out;
  }

  function stretchGrey16(pixels, g, out) {
    const samples = new Int16Array(pixels.buffer, pixels.byteOffset, Math.floor(pixels.byteLength / 2));
    const stride = g.rowBytes / 2;
    let minimum = 32767;
    let maximum = -32767;
    for (let y = 0; y < g.height; ++y) {
      for (let x = 0; x < g.width; ++x) {
        const v = samples[y * stride + x];
        if (v < minimum) minimum = v;
        if (v > maximum) maximum = v;
      }
    }
    const flat = maximum <= minimum;
    const factor = flat ? 0 : Math.fround(255 / Math.fround(maximum - minimum));
    let o = 0;
    for (let y = 0; y < g.height; ++y) {
      for (let x = 0; x < g.width; ++x) {
        const v = samples[y * stride + x];
        const byte = flat ? 128 : Math.min(255, Math.max(0, Math.trunc((v - minimum) * factor)));
        out[o++] = byte;
        out[o++] = byte;
        out[o++] = byte;
        out[o++] = 255;
      }
    }
  }

  // The decoded samples with the rows packed tightly (a copy).
  function packedSamples(pixels, g) {
    const rowLength = g.width * g.planes * g.bytesPerSample;
    const out = new Uint8Array(rowLength * g.height);
    for (let y = 0; y < g.height; ++y) out.set(pixels.subarray(y * g.rowBytes, y * g.rowBytes + rowLength), y * rowLength);
    return out;
  }

  const api = { DONE, WAITING, ERR_CORRUPT, ERR_INTERNAL, loadModule, StreamDecoder, toRgba, packedSamples };
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.TavixCore = api;
})(typeof self !== 'undefined' ? self : globalThis);
