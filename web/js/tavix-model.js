// What <tavix-image> decides without a page: its attributes, the context
// menu with its information panel, save names and the bitmap it saves.

export const HOMEPAGE_URL = 'http://www.tavix.com/';
export const STATUS_RUNNING = 'TAVIX Plugin running';
export const ERR_CORRUPT = -6;

// The leading decimal integer of the text (blanks and a sign first), as
// atoi reads it; no number, or a negative one, gives 0. Values beyond 32
// bits saturate.
export function parseLimit(text) {
  if (text == null) return 0;
  const match = /^[ \t]*([+-]?)(\d+)/.exec(String(text));
  if (!match || match[1] === '-') return 0;
  const value = Number(match[2].slice(0, 12));
  return Math.min(value, 2147483647);
}

// "true" in any case. A bare attribute (<tavix-image progressive>) counts as
// true too; that is how a page says yes to a switch.
function isTrue(value) {
  return value === '' || String(value).toLowerCase() === 'true';
}

// The element's attributes as the plug-in reads its embed attributes.
// `get` returns an attribute's value, or null when it is absent.
export function readAttributes(get) {
  const progressive = get('progressive');
  const autorefresh = get('autorefresh');
  return {
    progressive: progressive === null ? true : isTrue(progressive),
    limit: parseLimit(get('limit')),
    noMenu: autorefresh !== null && isTrue(autorefresh),
  };
}

// The default save name: the URL's last path component up to its first dot.
export function saveNameFromUrl(url) {
  const path = String(url).split(/[?#]/)[0];
  const last = path.slice(path.lastIndexOf('/') + 1);
  const dot = last.indexOf('.');
  return dot < 0 ? last : last.slice(0, dot);
}

// The chosen name loses everything from the first dot of its file-name part
// and takes the extension of the chosen type.
export function replaceExtension(chosen, extension) {
  const nameStart = Math.max(chosen.lastIndexOf('/'), chosen.lastIndexOf('\\')) + 1;
  const dot = chosen.indexOf('.', nameStart);
  return (dot < 0 ? chosen : chosen.slice(0, dot)) + extension;
}

const COLOR_MODES = { 0: 'Grayscale (8 bit)', 1: 'Grayscale (8 bit)', 2: 'True Color (24 bit)', 3: 'Grayscale (16 bit)', 4: 'True Color (48 bit)' };
const COMPRESSION_MODES = { 0: 'Lossy', 1: 'Lossy', 2: 'Lossless' };

export function isColourImage(colorType) {
  return colorType !== 0 && colorType !== 1 && colorType !== 3;
}

// printf's "%.2f": like toFixed, except that an exact tie (a ratio such as
// 2.125, exact in binary) goes to the even digit, as C's printf does.
export function fixed2(value) {
  const scaled = value * 100;
  const floor = Math.floor(scaled);
  if (scaled - floor === 0.5 && Number.isInteger(value * 8)) return ((floor % 2 === 0 ? floor : floor + 1) / 100).toFixed(2);
  return value.toFixed(2);
}

// The context menu for the state `s` (the plug-in's instance fields), or
// null when none opens: before decoding stops, or with "autorefresh".
// Items: { kind: 'command' | 'separator' | 'heading' | 'line', id, text, enabled }.
export function buildMenu(s) {
  if (s.noMenu || !s.decodeEnded) return null;
  const items = [];
  const separator = () => items.push({ kind: 'separator' });
  const heading = (text) => items.push({ kind: 'heading', text });
  const line = (text) => items.push({ kind: 'line', text });
  const pausedAtLimit = s.limited && s.partial;
  items.push({ kind: 'command', id: 'save', text: 'Save image as...', enabled: !!s.decodeOK });
  separator();
  items.push({ kind: 'command', id: 'homepage', text: 'TAVIX Homepage...', enabled: true });
  if (pausedAtLimit && !s.decodeOK && !s.result) {
    separator();
    items.push({ kind: 'command', id: 'improve', text: 'Improve...', enabled: true });
  }
  const whole = pausedAtLimit ? s.streamLength : s.received;
  separator();
  heading('Transfer Status:');
  line(`  ${s.received} of ${whole} Byte transfered`);
  if (s.headerKnown) {
    separator();
    heading('Image information:');
    line(`  Image size: ${s.imageWidth} x ${s.imageHeight}`);
    line(`  Color mode: ${COLOR_MODES[s.colorType] ?? ''}`);
    separator();
    heading('Compression parameter:');
    line(`  Compression ratio: ${fixed2(whole ? s.rawSize / whole : 0)}`);
    line(`  Compression mode: ${COMPRESSION_MODES[s.compressionMode] ?? ''}`);
  }
  return items;
}

// A Windows bitmap of RGBA pixels (top row first): 24-bit for colour
// images, else 8-bit grey with a 256-entry grey palette (from the red
// channel, which carries the grey value). Rows bottom-up; a colour row is
// padded with (width mod 4) zero bytes, a grey row to a multiple of 4.
export function bitmapFile(rgba, width, height, colour) {
  const rowLength = colour ? 3 * width + (width % 4) : Math.ceil(width / 4) * 4;
  const dataOffset = colour ? 54 : 1078;
  const imageSize = rowLength * height;
  const out = new Uint8Array(dataOffset + imageSize);
  const view = new DataView(out.buffer);
  out[0] = 0x42;
  out[1] = 0x4d;
  view.setUint32(2, dataOffset + imageSize, true);
  view.setUint32(10, dataOffset, true);
  view.setUint32(14, 40, true);
  view.setInt32(18, width, true);
  view.setInt32(22, height, true);
  view.setUint16(26, 1, true);
  view.setUint16(28, colour ? 24 : 8, true);
  view.setUint32(34, imageSize, true);
  view.setInt32(38, 2834, true);
  view.setInt32(42, 2834, true);
  if (!colour) for (let i = 0; i < 256; ++i) out.fill(i, 54 + 4 * i, 54 + 4 * i + 3);
  for (let y = 0; y < height; ++y) {
    let o = dataOffset + (height - 1 - y) * rowLength;
    let p = y * width * 4;
    for (let x = 0; x < width; ++x, p += 4) {
      if (colour) {
        out[o++] = rgba[p + 2];
        out[o++] = rgba[p + 1];
        out[o++] = rgba[p];
      } else {
        out[o++] = rgba[p];
      }
    }
  }
  return out;
}
