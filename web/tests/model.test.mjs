// The component's decisions that need no page: attributes, names, the
// context menu and the bitmap layout.
import assert from 'node:assert/strict';
import { describe, test } from 'node:test';

import { bitmapFile, buildMenu, readAttributes, replaceExtension, saveNameFromUrl } from '../js/tavix-model.js';

describe('attributes', () => {
  const cases = [
    // attributes, expected
    [{}, { progressive: true, limit: 0, noMenu: false }],
    [{ progressive: 'FALSE' }, { progressive: false, limit: 0, noMenu: false }],
    [{ progressive: 'TrUe', autorefresh: 'TRUE' }, { progressive: true, limit: 0, noMenu: true }],
    [{ progressive: '', autorefresh: '' }, { progressive: true, limit: 0, noMenu: true }],
    [{ progressive: 'yes', autorefresh: 'no' }, { progressive: false, limit: 0, noMenu: false }],
    [{ limit: '-5' }, { progressive: true, limit: 0, noMenu: false }],
    [{ limit: 'many' }, { progressive: true, limit: 0, noMenu: false }],
    [{ limit: ' +2000 bytes' }, { progressive: true, limit: 2000, noMenu: false }],
    [{ limit: '99999999999999' }, { progressive: true, limit: 2147483647, noMenu: false }],
  ];
  for (const [attributes, expected] of cases) {
    test(JSON.stringify(attributes), () => {
      assert.deepEqual(readAttributes((name) => attributes[name] ?? null), expected);
    });
  }
});

test('save names and chosen names', () => {
  assert.equal(saveNameFromUrl('http://host/a.b/pic.large.tvx'), 'pic');
  assert.equal(saveNameFromUrl('http://host/images/pic?v=1.2'), 'pic');
  assert.equal(saveNameFromUrl('pic.tvx#x.y'), 'pic');
  assert.equal(replaceExtension('C:\\my.dir\\pic.jpeg', '.bmp'), 'C:\\my.dir\\pic.bmp');
  assert.equal(replaceExtension('/home/my.dir/pic', '.tvx'), '/home/my.dir/pic.tvx');
});

describe('context menu', () => {
  const done = { decodeEnded: true, decodeOK: true, received: 8000, streamLength: 8000, headerKnown: true,
    imageWidth: 300, imageHeight: 200, colorType: 2, rawSize: 180000, compressionMode: 1 };
  const texts = (state) => buildMenu(state)?.map((i) => (i.kind === 'separator' ? '-' : `${i.enabled === false ? '!' : ''}${i.text}`));
  const cases = [
    ['still decoding', { ...done, decodeEnded: false }, undefined],
    ['autorefresh', { ...done, noMenu: true }, undefined],
    ['finished colour image', done, ['Save image as...', '-', 'TAVIX Homepage...', '-', 'Transfer Status:',
      '  8000 of 8000 Byte transfered', '-', 'Image information:', '  Image size: 300 x 200',
      '  Color mode: True Color (24 bit)', '-', 'Compression parameter:', '  Compression ratio: 22.50',
      '  Compression mode: Lossy']],
    ['paused at the limit', { ...done, decodeOK: false, limited: true, partial: true, received: 2048, streamLength: 50000 },
      ['!Save image as...', '-', 'TAVIX Homepage...', '-', 'Improve...', '-', 'Transfer Status:',
        '  2048 of 50000 Byte transfered', '-', 'Image information:', '  Image size: 300 x 200',
        '  Color mode: True Color (24 bit)', '-', 'Compression parameter:', '  Compression ratio: 3.60',
        '  Compression mode: Lossy']],
    ['failed before the header', { decodeEnded: true, decodeOK: false, result: -6, received: 30, streamLength: 30 },
      ['!Save image as...', '-', 'TAVIX Homepage...', '-', 'Transfer Status:', '  30 of 30 Byte transfered']],
  ];
  for (const [name, state, expected] of cases) test(name, () => assert.deepEqual(texts(state), expected));

  test('colour and compression modes', () => {
    const lines = (colorType, compressionMode) => texts({ ...done, colorType, compressionMode }).filter((t) => / mode: /.test(t));
    assert.deepEqual(lines(3, 2), ['  Color mode: Grayscale (16 bit)', '  Compression mode: Lossless']);
    assert.deepEqual(lines(1, 0), ['  Color mode: Grayscale (8 bit)', '  Compression mode: Lossy']);
    assert.deepEqual(lines(4, 7), ['  Color mode: True Color (48 bit)', '  Compression mode: ']);
  });
});

describe('bitmap layout', () => {
  // 3 x 2 pixels, top row first: red, green, blue / grey 10, 20, 30.
  const rgba = Uint8Array.from([255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 10, 10, 10, 255, 20, 20, 20, 255, 30, 30, 30, 255]);
  test('24-bit colour: rows of 9 bytes plus 3 padding, bottom row first, blue-green-red', () => {
    const file = bitmapFile(rgba, 3, 2, true);
    assert.equal(file.length, 54 + 2 * 12);
    assert.deepEqual([...file.subarray(54)], [10, 10, 10, 20, 20, 20, 30, 30, 30, 0, 0, 0, 0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0]);
  });
  test('8-bit grey: rows of 3 bytes plus 1 padding after a grey palette', () => {
    const file = bitmapFile(rgba, 3, 2, false);
    assert.equal(file.length, 1078 + 2 * 4);
    assert.deepEqual([...file.subarray(54 + 4 * 200, 54 + 4 * 201)], [200, 200, 200, 0]);
    assert.deepEqual([...file.subarray(1078)], [10, 20, 30, 0, 255, 0, 0, 0]);
  });
});
