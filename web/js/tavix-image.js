// <tavix-image src="photo.tvx" progressive limit="20000" autorefresh>
//
// Shows a .tvx image while it downloads: the file is streamed with fetch,
// decoded in a worker (decoder-worker.js) and every preview is painted as it
// comes. With a byte limit the transfer stops there and the context menu
// offers "Improve...", which fetches the rest with a Range request. The
// context menu (right click, the menu key or Shift+F10) also saves the
// received bytes or a bitmap, and shows transfer, image and compression
// information.
import {
  ERR_CORRUPT,
  HOMEPAGE_URL,
  STATUS_RUNNING,
  bitmapFile,
  buildMenu,
  isColourImage,
  readAttributes,
  replaceExtension,
  saveNameFromUrl,
} from './tavix-model.js';

const FAILED_FILL = 'rgb(215, 215, 215)';
// The most bytes one element keeps; the transfer stops there and the image
// is decoded from what arrived.
const MAX_RECEIVED = 512 * 1024 * 1024;
const TVX_TYPE = 'TAVIX Image (*.tvx)';
const BMP_TYPE = 'Windows Bitmap (*.bmp)';

const STYLE = `
:host { display: inline-block; position: relative; outline: none; vertical-align: bottom; }
:host(:focus-visible) .frame { outline: 2px solid Highlight; outline-offset: 1px; }
.frame { position: relative; overflow: hidden; }
canvas { display: block; width: 100%; height: 100%; }
.status { position: absolute; left: 0; bottom: 0; max-width: 100%; box-sizing: border-box; padding: 1px 6px;
  font: 11px system-ui, sans-serif; color: #fff; background: rgba(0, 0, 0, 0.55); white-space: nowrap;
  overflow: hidden; text-overflow: ellipsis; }
.status:empty { display: none; }
.menu { position: fixed; z-index: 2147483647; min-width: 12em; padding: 3px 0; margin: 0; list-style: none;
  font: 13px system-ui, sans-serif; color: MenuText; background: Menu; border: 1px solid #a0a0a0;
  box-shadow: 2px 3px 8px rgba(0, 0, 0, 0.3); white-space: pre; user-select: none; }
.menu [role=menuitem] { padding: 3px 24px 3px 22px; cursor: default; }
.menu .command:not([aria-disabled=true]):hover, .menu [role=menuitem]:focus { background: Highlight; color: HighlightText; outline: none; }
.menu .command[aria-disabled=true] { color: GrayText; }
.menu .heading { font-weight: bold; }
.menu .heading, .menu .line { color: MenuText; padding-top: 1px; padding-bottom: 1px; }
.menu [role=separator] { height: 0; margin: 3px 1px; border-top: 1px solid #c8c8c8; }
dialog { font: 13px system-ui, sans-serif; padding: 14px 16px; border: 1px solid #888; border-radius: 4px; }
dialog h2 { font-size: 14px; margin: 0 0 10px; }
dialog label { display: block; margin: 6px 0; }
dialog input, dialog select { display: block; box-sizing: border-box; width: 22em; margin-top: 2px; font: inherit; }
dialog .buttons { text-align: right; margin-top: 12px; }
dialog button { min-width: 6em; margin-left: 6px; font: inherit; }
`;

export class TavixImage extends HTMLElement {
  static get observedAttributes() {
    return ['src', 'width', 'height'];
  }

  constructor() {
    super();
    const root = this.attachShadow({ mode: 'open' });
    root.innerHTML = `<style>${STYLE}</style>
      <div class="frame" part="frame"><canvas part="canvas" role="img"></canvas>
      <div class="status" role="status" aria-live="polite"></div></div>`;
    this.frame = root.querySelector('.frame');
    this.canvas = root.querySelector('canvas');
    this.statusLine = root.querySelector('.status');
    this.menu = null;
    this.dialog = null;
    this.source = null; // the last shown image at its own size
    this.finalRgba = null;
    // The transfer and decoder state, named as the plug-in names its fields.
    this.state = null;
    this.addEventListener('contextmenu', (event) => this.onContextMenu(event));
    this.addEventListener('keydown', (event) => this.onKeyDown(event));
    this.resizeObserver = new ResizeObserver(() => this.paint());
    this.resizeObserver.observe(this.frame);
  }

  connectedCallback() {
    // Focusable, and announced as a picture that has a menu.
    if (!this.hasAttribute('tabindex')) this.tabIndex = 0;
    if (!this.hasAttribute('role')) this.setAttribute('role', 'group');
    this.setAttribute('aria-haspopup', 'menu');
    if (!this.state) this.load();
  }

  disconnectedCallback() {
    this.stop();
    this.state = null;
  }

  attributeChangedCallback(name, oldValue, newValue) {
    if (name === 'src' && oldValue !== newValue && this.isConnected && this.state) this.load();
    else this.layout();
  }

  // The status text shown while loading ("" when none).
  get status() {
    return this.statusLine.textContent;
  }

  stop() {
    this.closeMenu();
    if (this.reader) this.reader.cancel().catch(() => {});
    this.reader = null;
    if (this.worker) this.worker.terminate();
    this.worker = null;
  }

  load() {
    this.stop();
    const attributes = readAttributes((name) => this.getAttribute(name));
    this.state = {
      ...attributes,
      limited: attributes.limit !== 0,
      partial: attributes.limit !== 0,
      limitReached: attributes.limit === 0,
      url: '',
      saveName: '',
      streamLength: 0,
      received: 0,
      data: [],
      headerKnown: false,
      decodeEnded: false,
      decodeOK: false,
      failedFill: false,
      result: 0,
    };
    this.source = null;
    this.finalRgba = null;
    this.setStatus(STATUS_RUNNING);
    this.layout();
    const src = this.getAttribute('src');
    if (src) this.transfer(new URL(src, document.baseURI).href);
  }

  setStatus(text) {
    this.statusLine.textContent = text;
  }

  async startWorker() {
    const worker = new Worker(new URL('./decoder-worker.js', import.meta.url));
    this.worker = worker;
    // A replaced worker (a new src) has nothing more to say.
    worker.onmessage = (event) => this.worker === worker && this.onWorkerMessage(event.data);
    worker.onerror = () => this.worker === worker && this.onWorkerMessage({ type: 'ended', result: -1000 });
    const { progressive } = this.state;
    const compiled = await compiledDecoder();
    worker.postMessage({ type: 'init', progressive, compiled });
  }

  // The first transfer: the whole file, or up to the byte limit.
  async transfer(url) {
    const s = this.state;
    // The worker loads while the request is on its way.
    const workerReady = this.startWorker();
    let response;
    try {
      response = await fetch(url);
      if (!response.ok || !response.body) throw new Error(`HTTP ${response.status}`);
    } catch (error) {
      if (this.state === s) this.endDecoding(-3);
      return;
    }
    if (this.state !== s) return;
    s.url = response.url || url;
    s.saveName = saveNameFromUrl(s.url);
    s.streamLength = announcedLength(response);
    // A limit needs a known length, and one at or above it is no limit.
    s.limited = s.limited && s.streamLength !== 0 && s.limit < s.streamLength;
    if (!s.limited) s.limit = 0;
    s.partial = s.limited;
    s.limitReached = !s.limited;
    await workerReady;
    if (this.state !== s || !this.worker) return;
    await this.pump(response.body.getReader(), s, 0);
  }

  // Reads the body into the decoder. `skip` bytes at its start are already
  // there (a server that ignored the range sends the whole file again).
  async pump(reader, s, skip) {
    this.reader = reader;
    try {
      for (;;) {
        const { done, value } = await reader.read();
        if (this.state !== s) return;
        if (done) break;
        if (!this.worker) {
          // Decoding has ended (failed): the rest is refused.
          reader.cancel().catch(() => {});
          return;
        }
        let chunk = value;
        if (skip > 0) {
          const dropped = Math.min(skip, chunk.length);
          skip -= dropped;
          chunk = chunk.subarray(dropped);
        }
        if (s.received + chunk.length > MAX_RECEIVED) {
          reader.cancel().catch(() => {});
          break;
        }
        if (chunk.length) this.deliver(chunk);
        if (s.limitReached && s.partial && s.received < s.streamLength) {
          // The chunk that crosses the limit stays whole; the decoder shows
          // the best preview of it and waits for "Improve...".
          reader.cancel().catch(() => {});
          this.worker.postMessage({ type: 'pause' });
          return;
        }
      }
    } catch (error) {
      if (this.state !== s) return;
    } finally {
      if (this.reader === reader) this.reader = null;
    }
    if (this.worker) this.worker.postMessage({ type: 'end' });
  }

  deliver(chunk) {
    const s = this.state;
    const copy = chunk.slice();
    s.data.push(copy);
    s.received += copy.length;
    s.limitReached = s.limited && s.partial && s.received >= s.limit;
    // A chunk that brings the whole file leaves nothing to improve.
    if (s.received >= s.streamLength && s.streamLength) s.partial = false;
    const bytes = chunk.slice().buffer;
    this.worker.postMessage({ type: 'data', bytes }, [bytes]);
  }

  // "Improve...": the rest of the file as one range, into the same decoder.
  async improve() {
    const s = this.state;
    s.partial = false;
    s.decodeEnded = false;
    this.setStatus(STATUS_RUNNING);
    this.worker.postMessage({ type: 'resume' });
    let response;
    try {
      response = await fetch(s.url, { headers: { Range: `bytes=${s.received}-` } });
      if (!response.ok || !response.body) throw new Error(`HTTP ${response.status}`);
    } catch (error) {
      if (this.state !== s) return;
      // Nothing will come: keep the paused state so the menu still offers it.
      s.partial = true;
      s.decodeEnded = true;
      this.setStatus('');
      this.worker.postMessage({ type: 'pause' });
      return;
    }
    if (this.state !== s) return;
    const rangeStart = response.status === 206 ? contentRangeStart(response) : 0;
    if (rangeStart > s.received) {
      response.body.cancel().catch(() => {});
      s.partial = true;
      s.decodeEnded = true;
      this.setStatus('');
      return;
    }
    await this.pump(response.body.getReader(), s, s.received - rangeStart);
  }

  onWorkerMessage(message) {
    const s = this.state;
    if (!s) return;
    switch (message.type) {
      case 'header':
        Object.assign(s, {
          imageWidth: message.header.width,
          imageHeight: message.header.height,
          colorType: message.header.colorType,
          bytesPerSample: message.header.bytesPerSample,
          rawSize: message.header.rawSize,
          compressionMode: message.header.compressionMode,
          headerKnown: true,
        });
        this.layout();
        this.tellShownSize();
        break;
      case 'image':
        this.show(message);
        break;
      case 'paused':
        if (s.limited && s.partial) {
          s.decodeEnded = true;
          this.setStatus('');
        }
        break;
      case 'ended':
        this.endDecoding(message.result);
        break;
      default:
        break;
    }
    this.dispatchEvent(new CustomEvent(`tavix-${message.type}`, { detail: { final: !!message.final } }));
  }

  endDecoding(result) {
    const s = this.state;
    s.result = result;
    s.decodeOK = result === 0;
    s.failedFill = result === ERR_CORRUPT;
    s.decodeEnded = true;
    this.setStatus('');
    if (this.worker) this.worker.terminate();
    this.worker = null;
    this.paint();
    this.updateLabel();
  }

  show({ final, width, height, rgba }) {
    const pixels = new Uint8ClampedArray(rgba.buffer ?? rgba);
    const source = this.source && this.source.width === width && this.source.height === height
      ? this.source
      : Object.assign(document.createElement('canvas'), { width, height });
    source.getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0);
    this.source = source;
    if (final) this.finalRgba = pixels;
    this.paint();
    this.updateLabel();
  }

  // CSS size: the width and height attributes (one alone keeps the
  // image's proportions), else the image's own size.
  displaySize() {
    const s = this.state ?? {};
    const natural = s.headerKnown ? [s.imageWidth, s.imageHeight] : [0, 0];
    const w = Number.parseFloat(this.getAttribute('width'));
    const h = Number.parseFloat(this.getAttribute('height'));
    if (w > 0 && h > 0) return [w, h];
    if (w > 0) return [w, natural[0] ? (w * natural[1]) / natural[0] : w * 0.75];
    if (h > 0) return [natural[1] ? (h * natural[0]) / natural[1] : h / 0.75, h];
    return natural[0] ? natural : [300, 150];
  }

  layout() {
    const [w, h] = this.displaySize();
    this.frame.style.width = `${w}px`;
    this.frame.style.height = `${h}px`;
    this.updateLabel();
    this.paint();
  }

  // Previews need no more pixels than the element shows (the final image
  // is full size for saving and zooming).
  tellShownSize() {
    if (!this.worker) return;
    const [w, h] = this.displaySize();
    const ratio = window.devicePixelRatio || 1;
    this.worker.postMessage({ type: 'shown', width: Math.ceil(w * ratio), height: Math.ceil(h * ratio) });
  }

  // Paints the last image scaled to fit the element, at device resolution.
  paint() {
    const s = this.state;
    const box = this.frame.getBoundingClientRect();
    const ratio = window.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(box.width * ratio));
    const height = Math.max(1, Math.round(box.height * ratio));
    if (this.canvas.width !== width || this.canvas.height !== height) Object.assign(this.canvas, { width, height });
    const context = this.canvas.getContext('2d');
    context.clearRect(0, 0, width, height);
    if (this.source) {
      const scale = Math.min(width / this.source.width, height / this.source.height);
      const w = Math.round(this.source.width * scale);
      const h = Math.round(this.source.height * scale);
      context.imageSmoothingEnabled = w !== this.source.width || h !== this.source.height;
      context.imageSmoothingQuality = 'high';
      context.drawImage(this.source, 0, 0, w, h);
    } else if (s && s.failedFill) {
      context.fillStyle = FAILED_FILL;
      context.fillRect(0, 0, width, height);
    }
  }

  updateLabel() {
    const s = this.state;
    if (!s) return;
    const name = s.saveName || saveNameFromUrl(this.getAttribute('src') ?? '') || 'image';
    let text = `TAVIX image ${name}`;
    if (s.headerKnown) text += `, ${s.imageWidth} x ${s.imageHeight}`;
    if (s.decodeEnded && !s.decodeOK && !(s.limited && s.partial)) text += ', failed to load';
    else if (!s.decodeEnded) text += ', loading';
    else if (s.limited && s.partial) text += `, ${s.received} of ${s.streamLength} bytes received`;
    this.canvas.setAttribute('aria-label', text);
  }

  // ------------------------------------------------------------ menu
  onContextMenu(event) {
    if (!this.state || this.state.noMenu) return;
    event.preventDefault();
    const keyboard = event.button !== 2 && event.clientX === 0 && event.clientY === 0;
    this.openMenuAt(keyboard ? this.keyboardPoint() : [event.clientX, event.clientY], keyboard);
  }

  onKeyDown(event) {
    if (event.target !== this || this.menu) return;
    if (event.key === 'ContextMenu' || (event.key === 'F10' && event.shiftKey)) {
      if (!this.state || this.state.noMenu) return;
      event.preventDefault();
      this.openMenuAt(this.keyboardPoint(), true);
    }
  }

  keyboardPoint() {
    const box = this.frame.getBoundingClientRect();
    return [box.left + 8, box.top + 8];
  }

  openMenuAt([x, y], fromKeyboard) {
    this.closeMenu();
    const items = buildMenu(this.state);
    if (!items) return;
    const menu = document.createElement('ul');
    menu.className = 'menu';
    menu.setAttribute('role', 'menu');
    menu.setAttribute('aria-label', 'TAVIX image');
    for (const item of items) menu.append(menuElement(item));
    menu.addEventListener('click', (event) => this.onMenuClick(event));
    menu.addEventListener('keydown', (event) => this.onMenuKey(event));
    menu.addEventListener('contextmenu', (event) => event.preventDefault());
    this.shadowRoot.append(menu);
    this.menu = menu;
    // Keep the whole menu on screen.
    const box = menu.getBoundingClientRect();
    menu.style.left = `${Math.max(0, Math.min(x, window.innerWidth - box.width - 2))}px`;
    menu.style.top = `${Math.max(0, Math.min(y, window.innerHeight - box.height - 2))}px`;
    this.outsideListener = (event) => {
      if (!event.composedPath().includes(menu)) this.closeMenu();
    };
    window.addEventListener('pointerdown', this.outsideListener, true);
    window.addEventListener('blur', this.outsideListener);
    const first = menu.querySelector('.command:not([aria-disabled=true])') ?? menu.querySelector('[role=menuitem]');
    if (first) first.focus({ focusVisible: fromKeyboard });
  }

  closeMenu(refocus = false) {
    if (!this.menu) return;
    this.menu.remove();
    this.menu = null;
    window.removeEventListener('pointerdown', this.outsideListener, true);
    window.removeEventListener('blur', this.outsideListener);
    if (refocus) this.focus();
  }

  onMenuKey(event) {
    const entries = [...this.menu.querySelectorAll('[role=menuitem]')];
    const at = entries.indexOf(this.shadowRoot.activeElement);
    const move = (to) => {
      event.preventDefault();
      entries[(to + entries.length) % entries.length].focus();
    };
    switch (event.key) {
      case 'ArrowDown': move(at + 1); break;
      case 'ArrowUp': move(at - 1); break;
      case 'Home': move(0); break;
      case 'End': move(entries.length - 1); break;
      case 'Escape':
      case 'Tab':
        event.preventDefault();
        this.closeMenu(true);
        break;
      case 'Enter':
      case ' ':
        event.preventDefault();
        if (at >= 0) this.runCommand(entries[at]);
        break;
      default: break;
    }
  }

  onMenuClick(event) {
    const entry = event.target.closest('[role=menuitem]');
    if (entry) this.runCommand(entry);
  }

  runCommand(entry) {
    if (entry.getAttribute('aria-disabled') === 'true' || !entry.dataset.command) return;
    const command = entry.dataset.command;
    this.closeMenu(true);
    if (command === 'save') this.openSaveDialog();
    else if (command === 'homepage') window.open(HOMEPAGE_URL, '_blank', 'noopener');
    else if (command === 'improve') this.improve();
  }

  // ------------------------------------------------------------ saving
  openSaveDialog() {
    const s = this.state;
    if (!s.decodeOK) return;
    const dialog = document.createElement('dialog');
    dialog.setAttribute('aria-labelledby', 'save-title');
    dialog.innerHTML = `<form method="dialog">
      <h2 id="save-title">Save Image as...</h2>
      <label>File name <input name="file" autocomplete="off" spellcheck="false"></label>
      <label>Save as type <select name="type"><option value="tvx"></option><option value="bmp"></option></select></label>
      <div class="buttons"><button value="save">Save</button><button value="cancel" formnovalidate>Cancel</button></div>
    </form>`;
    const form = dialog.querySelector('form');
    form.file.value = s.saveName.slice(0, 259);
    form.type.options[0].textContent = TVX_TYPE;
    form.type.options[1].textContent = BMP_TYPE;
    dialog.addEventListener('close', () => {
      dialog.remove();
      this.dialog = null;
      this.focus();
      if (dialog.returnValue === 'save' && form.file.value.trim()) this.save(form.file.value.trim(), form.type.value);
    });
    this.shadowRoot.append(dialog);
    this.dialog = dialog;
    dialog.showModal();
    form.file.select();
  }

  // The received bytes unchanged, or a bitmap of the decoded pixels.
  save(chosen, type) {
    const s = this.state;
    const name = baseName(replaceExtension(chosen, type === 'bmp' ? '.bmp' : '.tvx'));
    try {
      const blob = type === 'bmp'
        ? new Blob([bitmapFile(this.finalRgba, s.imageWidth, s.imageHeight, isColourImage(s.colorType))], { type: 'image/bmp' })
        : new Blob(s.data, { type: 'image/x-tavix' });
      const link = document.createElement('a');
      link.href = URL.createObjectURL(blob);
      link.download = name;
      this.shadowRoot.append(link);
      link.click();
      link.remove();
      setTimeout(() => URL.revokeObjectURL(link.href), 60000);
    } catch (error) {
      this.showError(type === 'bmp' ? 'Save image failed!' : 'Save Image failed!');
    }
  }

  showError(text) {
    const dialog = document.createElement('dialog');
    dialog.setAttribute('role', 'alertdialog');
    dialog.innerHTML = '<form method="dialog"><h2>Error</h2><p></p><div class="buttons"><button>OK</button></div></form>';
    dialog.querySelector('p').textContent = text;
    dialog.addEventListener('close', () => dialog.remove());
    this.shadowRoot.append(dialog);
    dialog.showModal();
  }
}

// The decoder's WebAssembly module, fetched and compiled once for every
// image of the page; null when that fails (each worker then loads its own).
let compiling = null;
function compiledDecoder() {
  if (!compiling) {
    const url = new URL('./tavix-decoder.wasm', import.meta.url);
    compiling = WebAssembly.compileStreaming(fetch(url))
      .catch(() => fetch(url).then((response) => response.arrayBuffer()).then((bytes) => WebAssembly.compile(bytes)))
      .catch(() => null);
  }
  return compiling;
}

function menuElement(item) {
  const element = document.createElement('li');
  if (item.kind === 'separator') {
    element.setAttribute('role', 'separator');
    return element;
  }
  element.setAttribute('role', 'menuitem');
  element.tabIndex = -1;
  element.className = item.kind;
  element.textContent = item.text;
  if (item.kind === 'command') {
    element.dataset.command = item.id;
    if (!item.enabled) element.setAttribute('aria-disabled', 'true');
  } else {
    element.setAttribute('aria-disabled', 'true');
  }
  return element;
}

// The length the response announces for the whole file, 0 when unknown
// (or when the bytes on the wire are not the file's, as with compression).
function announcedLength(response) {
  const encoding = response.headers.get('Content-Encoding');
  if (encoding && encoding !== 'identity') return 0;
  const length = Number.parseInt(response.headers.get('Content-Length') ?? '', 10);
  return Number.isFinite(length) && length > 0 ? length : 0;
}

function contentRangeStart(response) {
  const match = /^bytes (\d+)-/.exec(response.headers.get('Content-Range') ?? '');
  return match ? Number(match[1]) : 0;
}

function baseName(path) {
  return path.slice(Math.max(path.lastIndexOf('/'), path.lastIndexOf('\\')) + 1);
}

if (!customElements.get('tavix-image')) customElements.define('tavix-image', TavixImage);
