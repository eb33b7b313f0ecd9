// The Tiled export's tileset image, which mapview writes raw in this build
// (it has no PNG encoder; see web/PngUnavailable.cpp): the 8 bytes
// "GPRGBA1\n", the width and height (32-bit little-endian), then the rows of
// 4 bytes (red, green, blue, alpha) a pixel. pngFromRaw makes it an 8-bit
// RGBA PNG file whose pixels are those bytes exactly: each row unfiltered,
// compressed with fflate's zlib. A canvas would not keep them: it stores
// colours premultiplied by alpha, which changes a half-transparent pixel of
// an RTS tileset and the colour of a transparent one.
import { zlibSync } from './vendor/fflate/browser.js';

const kRawMagic = 'GPRGBA1\n';
const kRawHead = kRawMagic.length + 8;
const kSignature = [0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A];

const crcTable = Array.from({ length: 256 }, (_, n) => {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
});

function crc32(bytes) {
    let c = 0xFFFFFFFF;
    for (const byte of bytes) c = crcTable[(c ^ byte) & 0xFF] ^ (c >>> 8);
    return (c ^ 0xFFFFFFFF) >>> 0;
}

// A PNG chunk: its length, type, data and the CRC of type and data.
function chunk(type, data) {
    const bytes = new Uint8Array(12 + data.length);
    const view = new DataView(bytes.buffer);
    view.setUint32(0, data.length);
    bytes.set([...type].map((c) => c.charCodeAt(0)), 4);
    bytes.set(data, 8);
    view.setUint32(8 + data.length, crc32(bytes.subarray(4, 8 + data.length)));
    return bytes;
}

function little32(bytes, at) {
    return (bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (bytes[at + 3] << 24)) >>> 0;
}

// The PNG file of raw, or an Error saying why raw isn't such an image.
export function pngFromRaw(raw) {
    const magic = String.fromCharCode(...raw.subarray(0, kRawMagic.length));
    if (raw.length < kRawHead || magic !== kRawMagic) {
        throw new Error('the tileset image is not the raw image mapview writes');
    }
    const width = little32(raw, kRawMagic.length);
    const height = little32(raw, kRawMagic.length + 4);
    const rowBytes = width * 4;
    if (width === 0 || height === 0 || raw.length !== kRawHead + rowBytes * height) {
        throw new Error(`the tileset image of ${width} x ${height} pixels holds ${raw.length - kRawHead} bytes`);
    }
    // Each row after its filter byte, 0 (none).
    const rows = new Uint8Array((rowBytes + 1) * height);
    for (let y = 0; y < height; ++y) {
        rows.set(raw.subarray(kRawHead + y * rowBytes, kRawHead + (y + 1) * rowBytes), y * (rowBytes + 1) + 1);
    }
    const header = new Uint8Array(13);
    const view = new DataView(header.buffer);
    view.setUint32(0, width);
    view.setUint32(4, height);
    header.set([8, 6, 0, 0, 0], 8);  // 8 bits a sample, RGBA, deflate, no filter choice, not interlaced
    const parts = [Uint8Array.from(kSignature), chunk('IHDR', header), chunk('IDAT', zlibSync(rows)),
                   chunk('IEND', new Uint8Array(0))];
    const png = new Uint8Array(parts.reduce((size, part) => size + part.length, 0));
    let at = 0;
    for (const part of parts) {
        png.set(part, at);
        at += part.length;
    }
    return png;
}
