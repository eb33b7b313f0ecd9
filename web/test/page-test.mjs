// The browser test of the web page (make test-web): serves BUILD/site on
// 127.0.0.1, drives Debian's headless Chromium through it with puppeteer-core
// and checks, for every example (each a sample button), that the downloaded
// RMP file equals the native gridport's and that the canvas equals rmpview's
// picture; that the zip for Tiled holds the native mapview export's map and
// tileset, byte for byte, and an image of the same pixels; that mapview.wasm
// --png still refuses; that a hidden layer leaves the picture of the other; that files
// are told by their content whatever their names and inputs; that a new file
// clears a stale result, also one still being made; that a truncated MAP
// shows the import line and mapview's reason without its prefix; that a
// folder of maps made by make_batch_folder, chosen in the folder input,
// comes back as a zip whose every RMP file equals the native gridport's
// and a table that gives the failures' reasons; that the
// 4096 x 4096 map of make bench converts within 3 times the native time (the
// ratio is printed) and is drawn scaled down as rmpview --size draws it; that
// the page fits 400 pixels; that the WASI shim logs nothing; and that no
// request leaves 127.0.0.1. It saves screenshots in BUILD.
//   node web/test/page-test.mjs BUILD   (make test-web)
import { execFile, execFileSync, spawnSync } from 'node:child_process';
import { copyFileSync, existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync }
    from 'node:fs';
import { createServer } from 'node:http';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { basename, extname, join, resolve } from 'node:path';
import { promisify } from 'node:util';

const root = resolve(new URL('../..', import.meta.url).pathname);
const build = resolve(process.argv[2] ?? 'build-wasm');
const site = join(build, 'site');
const require = createRequire(join(build, 'npm', 'package.json'));
const puppeteer = require('puppeteer-core');
const { PNG } = require('pngjs');
const { unzipSync } = require('fflate');
const native = join(root, 'build');

let passed = 0;
let failed = 0;
function check(ok, what, detail = '') {
    if (ok) {
        passed += 1;
        console.log(`ok      ${what}`);
    } else {
        failed += 1;
        console.log(`FAILED  ${what}${detail ? `: ${detail}` : ''}`);
    }
}

const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.json': 'application/json',
                '.wasm': 'application/wasm' };
function serve() {
    const server = createServer((request, response) => {
        const path = join(site, decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname));
        const file = path.endsWith('/') ? join(path, 'index.html') : path;
        if (!file.startsWith(site) || !existsSync(file)) {
            response.writeHead(404).end();
            return;
        }
        response.writeHead(200, { 'content-type': types[extname(file)] ?? 'application/octet-stream' });
        response.end(readFileSync(file));
    });
    return new Promise((done) => server.listen(0, '127.0.0.1', () => done(server)));
}

// The examples: each MAP file with the tileset of the same name.
function examples() {
    return readdirSync(join(root, 'examples')).filter((name) => name.endsWith('.map')).map((name) => {
        const stem = basename(name, '.map');
        const tileset = readdirSync(join(root, 'examples')).find((other) =>
            other.startsWith(`${stem}.`) && other !== name);
        return { stem, map: join(root, 'examples', name), tileset: join(root, 'examples', tileset) };
    });
}

async function finished(page) {
    await page.waitForFunction(() => /^(status|no status)/.test(document.getElementById('status').textContent),
                               { timeout: 60000 });
}

// Puts map into the MAP input and tileset into the tileset input.
async function upload(page, map, tileset) {
    await page.reload({ waitUntil: 'load' });
    await (await page.$('#map-file')).uploadFile(map);
    await (await page.$('#tileset-file')).uploadFile(tileset);
    await page.waitForFunction(() => !document.getElementById('convert').disabled);
}

async function choose(page, map, tileset) {
    await upload(page, map, tileset);
    await page.click('#convert');
    await finished(page);
}

async function sample(page, name) {
    await page.reload({ waitUntil: 'load' });
    await page.waitForSelector(`[data-sample="${name}"]`);
    await page.click(`[data-sample="${name}"]`);
    await finished(page);
}

const text = (page, id) => page.$eval(`#${id}`, (node) => node.textContent);

// What the page shows of a result: none of it after a new file is chosen.
const shownResult = (page) => page.evaluate(() => {
    const $ = (id) => document.getElementById(id);
    return [!$('outcome').hidden && 'outcome', !$('result').hidden && 'result', $('picture').width > 0 && 'picture',
            !$('download').disabled && 'download', !$('download-tiled').disabled && 'download-tiled',
            $('summary').textContent !== '' && 'summary',
            $('reason').textContent !== '' && 'reason'].filter(Boolean).join(', ');
});

// The canvas's pixels, as a Buffer (a large canvas's too).
const canvasBytes = async (page) => {
    const encoded = await page.evaluate(() => {
        const canvas = document.getElementById('picture');
        const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
        let binary = '';
        for (let i = 0; i < data.length; i += 0x8000) {
            binary += String.fromCharCode(...data.subarray(i, i + 0x8000));
        }
        return { width: canvas.width, height: canvas.height, base64: btoa(binary) };
    });
    return { ...encoded, pixels: Buffer.from(encoded.base64, 'base64') };
};

// As samePicture, but a canvas keeps its colours premultiplied by alpha: a
// pixel that is not opaque may come back off by what that rounding loses.
function nearPicture(canvas, pngPath) {
    const png = PNG.sync.read(readFileSync(pngPath));
    if (png.width !== canvas.width || png.height !== canvas.height) {
        return `canvas ${canvas.width} x ${canvas.height}, rmpview ${png.width} x ${png.height}`;
    }
    for (let i = 0; i < png.data.length; ++i) {
        const alpha = png.data[i | 3];
        const slack = i % 4 === 3 || alpha === 255 ? 0 : alpha === 0 ? 255 : Math.ceil(255 / alpha);
        if (Math.abs(png.data[i] - canvas.pixels[i]) > slack) {
            return `first difference at byte ${i}: canvas ${canvas.pixels[i]}, rmpview ${png.data[i]}`;
        }
    }
    return '';
}

async function download(page, name, size) {
    await page.click('#download');
    const got = join(downloads, name);
    await waitForFile(got, size);
    return existsSync(got) ? readFileSync(got) : Buffer.alloc(0);
}

// The best of runs timings of gridport's native run, in milliseconds.
function nativeMilliseconds(map, tileset, output, runs) {
    let best = Infinity;
    for (let i = 0; i < runs; ++i) {
        const started = process.hrtime.bigint();
        execFileSync(join(native, 'gridport'), [map, tileset, output]);
        best = Math.min(best, Number(process.hrtime.bigint() - started) / 1e6);
    }
    return best;
}

async function canvasPixels(page) {
    await page.waitForFunction(() => document.getElementById('picture').width > 0);
    return page.evaluate(() => {
        const canvas = document.getElementById('picture');
        const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
        return { width: canvas.width, height: canvas.height, pixels: Array.from(data) };
    });
}

function samePicture(canvas, pngPath) {
    const png = PNG.sync.read(readFileSync(pngPath));
    if (png.width !== canvas.width || png.height !== canvas.height) {
        return `canvas ${canvas.width} x ${canvas.height}, rmpview ${png.width} x ${png.height}`;
    }
    for (let i = 0; i < png.data.length; ++i) {
        if (png.data[i] !== canvas.pixels[i]) {
            return `first difference at byte ${i}: canvas ${canvas.pixels[i]}, rmpview ${png.data[i]}`;
        }
    }
    return '';
}

// A download whose size isn't known: there, and the same size twice.
async function waitForDownload(path) {
    let size = -1;
    for (let i = 0; i < 200; ++i) {
        const now = existsSync(path) ? readFileSync(path).length : -1;
        if (now > 0 && now === size) return readFileSync(path);
        size = now;
        await new Promise((done) => setTimeout(done, 50));
    }
    return Buffer.alloc(0);
}

async function waitForFile(path, size) {
    for (let i = 0; i < 200; ++i) {
        if (existsSync(path) && readFileSync(path).length === size) return;
        await new Promise((done) => setTimeout(done, 50));
    }
}

// rmppicture --within under Node's WASI: the full size when it fits, even
// just; else scaled down to fit; a bad limit is a usage error.
function rmppicture(args) {
    try {
        const out = execFileSync('node', ['--no-warnings', join(root, 'web', 'run-wasi.mjs'),
                                          join(build, 'rmppicture.wasm'), ...args], { cwd: scratch, stdio: 'pipe' });
        return { status: 0, about: JSON.parse(out) };
    } catch (error) {
        return { status: error.status };
    }
}

const server = await serve();
const origin = `http://127.0.0.1:${server.address().port}`;
const scratch = mkdtempSync(join(tmpdir(), 'gridport-web-'));
const downloads = join(scratch, 'downloads');
const outside = [];
const shimLines = [];
execFileSync(join(native, 'gridport'), [join(root, 'examples', 'village.map'), join(root, 'examples', 'village.vsp'),
                                        join(scratch, 'village-full.rmp')]);
for (const [within, size] of [['384x256', '384 x 256'], ['384x255', '383 x 255'], ['20x100', '20 x 13']]) {
    const { about } = rmppicture(['--within', within, 'village-full.rmp', 'picture.rgba']);
    const got = about && `${about.width} x ${about.height}`;
    check(got === size && about.fullWidth === 384 && about.fullHeight === 256 &&
          readFileSync(join(scratch, 'picture.rgba')).length === about.width * about.height * 4,
          `rmppicture --within ${within} draws the 384 x 256 village at ${size}`, got);
}
// Only the export's tileset image is written raw in this build: a picture still fails.
copyFileSync(join(root, 'examples', 'village.map'), join(scratch, 'village.map'));
copyFileSync(join(root, 'examples', 'village.vsp'), join(scratch, 'village.vsp'));
const refused = spawnSync('node', ['--no-warnings', join(root, 'web', 'run-wasi.mjs'), join(build, 'mapview.wasm'),
                                   'village.map', 'village.vsp', 'village-picture.png'],
                          { cwd: scratch, encoding: 'utf8' });
check(refused.status === 1 && /PNG files can't be written/.test(refused.stderr) &&
      !existsSync(join(scratch, 'village-picture.png')), 'mapview.wasm refuses to draw a PNG picture',
      `status ${refused.status}: ${refused.stderr}`);
for (const within of ['0x10', '16385x10', '10x', 'x10', '10x10x10', '-1x10']) {
    check(rmppicture(['--within', within, 'village-full.rmp', 'picture.rgba']).status === 2,
          `rmppicture --within ${within} is a usage error`);
}

const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--no-first-run', '--disable-background-networking', '--disable-component-update',
           '--disable-sync', '--disable-default-apps', '--metrics-recording-only', '--no-default-browser-check'],
});
try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1100, height: 900 });
    await page.setRequestInterception(true);
    page.on('request', (request) => {
        const url = new URL(request.url());
        if (['data:', 'blob:'].includes(url.protocol) || url.hostname === '127.0.0.1') {
            request.continue();
        } else {
            outside.push(request.url());
            request.abort();
        }
    });
    const errors = [];
    page.on('pageerror', (error) => errors.push(String(error)));
    const logged = (message) => /(^|\s)wasi:/.test(message.text()) && shimLines.push(message.text());
    page.on('console', logged);
    page.on('workercreated', (worker) => worker.on('console', logged));
    const cdp = await page.createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
    await page.goto(`${origin}/`, { waitUntil: 'load' });

    // The samples: every example, as the native gridport and rmpview make it.
    for (const example of examples()) {
        await sample(page, example.stem);
        const status = await text(page, 'status');
        const line = await text(page, 'line');
        check(status.startsWith('status 0') && line === '(no output)', `${example.stem}: the sample converts`,
              `${status} ${line}`);
        const milliseconds = Number(await page.$eval('#status', (node) => node.dataset.milliseconds));
        console.log(`        ${example.stem}: converted in the page in ${milliseconds.toFixed(1)} ms`);

        const expected = join(scratch, `${example.stem}.rmp`);
        execFileSync(join(native, 'gridport'), [example.map, example.tileset, expected]);
        // The picture is drawn after the status shows.
        await page.waitForFunction(() => document.getElementById('picture').width > 0);
        const got = await download(page, `${example.stem}.rmp`, readFileSync(expected).length);
        check(Buffer.compare(got, readFileSync(expected)) === 0,
              `${example.stem}: the downloaded ${example.stem}.rmp equals the native gridport's`);

        // The zip for Tiled: the native mapview's export of the same pair, in a folder of its own.
        await page.click('#download-tiled');
        const tiledZip = await waitForDownload(join(downloads, `${example.stem}-tiled.zip`));
        const exported = mkdtempSync(join(scratch, 'tiled-'));
        execFileSync(join(native, 'mapview'), [example.map, example.tileset, join(exported, `${example.stem}.tmj`)]);
        let tiled = {};
        try {
            tiled = unzipSync(tiledZip);
        } catch (error) {
            check(false, `${example.stem}-tiled.zip unzips`, String(error));
        }
        const names = ['tmj', 'tsj', 'png'].map((ending) => `${example.stem}.${ending}`);
        check(Object.keys(tiled).sort().join(' ') === [...names].sort().join(' '),
              `${example.stem}-tiled.zip holds ${names.join(', ')}`, Object.keys(tiled).join(' '));
        for (const name of names.slice(0, 2)) {
            check(tiled[name] !== undefined && Buffer.compare(Buffer.from(tiled[name]),
                                                              readFileSync(join(exported, name))) === 0,
                  `${example.stem}-tiled.zip: ${name} equals the native mapview's`);
        }
        const pagePng = join(scratch, `${example.stem}-page.png`);
        writeFileSync(pagePng, tiled[names[2]] ?? new Uint8Array(0));
        const pixels = spawnSync(join(root, 'tools', 'png-pixels'), [pagePng, join(exported, names[2])],
                                 { encoding: 'utf8' });
        check(pixels.status === 0, `${example.stem}-tiled.zip: ${names[2]} has the native mapview's pixels`,
              pixels.stdout + pixels.stderr);

        const png = join(scratch, `${example.stem}.png`);
        execFileSync(join(native, 'rmpview'), ['--png', png, expected]);
        const difference = samePicture(await canvasPixels(page), png);
        check(difference === '', `${example.stem}: the canvas equals rmpview's picture`, difference);

        if (example.stem === 'village') {
            await page.click('[data-zoom="fit"]');
            await page.screenshot({ path: join(build, 'web-page.png'), fullPage: true });
            // Hiding the foreground leaves the background alone: rmpview --layer 0.
            await page.click('input[data-layer="1"]');
            const layer0 = join(scratch, 'village-layer0.png');
            execFileSync(join(native, 'rmpview'), ['--png', layer0, '--layer', '0', expected]);
            let hidden = 'not drawn';
            for (let i = 0; i < 100 && hidden !== ''; ++i) {
                await new Promise((done) => setTimeout(done, 50));
                hidden = samePicture(await canvasPixels(page), layer0);
            }
            check(hidden === '', 'village: with the foreground hidden the canvas equals rmpview --layer 0', hidden);
        }
    }

    // Files are told by their content: the tileset and the MAP file, named
    // as neither, put each in the other's input.
    const named = join(scratch, 'named');
    mkdirSync(named);
    copyFileSync(join(root, 'examples', 'village.map'), join(named, 'village-map.dat'));
    copyFileSync(join(root, 'examples', 'village.vsp'), join(named, 'village-tiles'));
    await upload(page, join(named, 'village-tiles'), join(named, 'village-map.dat'));
    const moved = await text(page, 'moved');
    check(/village-map\.dat .* a MAP file/.test(moved), 'a MAP file in the tileset input is taken as the MAP file',
          moved);
    await page.click('#convert');
    await finished(page);
    const command = await text(page, 'command');
    check(command === '$ gridport village-map.dat village-tiles.vsp village-map.rmp' &&
          (await text(page, 'status')).startsWith('status 0'),
          'a VSP tileset named without .vsp goes to gridport with .vsp added, and converts', command);
    copyFileSync(join(named, 'village-tiles'), join(named, 'village-tiles.vsp'));
    execFileSync(join(native, 'gridport'), [join(named, 'village-map.dat'), join(named, 'village-tiles.vsp'),
                                            join(named, 'village-map.rmp')]);
    const nativeNamed = readFileSync(join(named, 'village-map.rmp'));
    check(Buffer.compare(await download(page, 'village-map.rmp', nativeNamed.length), nativeNamed) === 0,
          'village-map.rmp: the download equals the native gridport\'s');
    // An RTS tileset named .vsp would be read as VSP.
    copyFileSync(join(root, 'examples', 'castle.rts'), join(named, 'castle.vsp'));
    await choose(page, join(root, 'examples', 'castle.map'), join(named, 'castle.vsp'));
    check((await text(page, 'command')).includes(' castle.vsp.rts ') &&
          (await text(page, 'status')).startsWith('status 0'),
          'an RTS tileset named .vsp goes to gridport as .vsp.rts, and converts', await text(page, 'command'));

    // A new file clears the result of the old ones.
    await choose(page, join(root, 'examples', 'village.map'), join(root, 'examples', 'village.vsp'));
    await page.waitForFunction(() => document.getElementById('picture').width > 0);
    await (await page.$('#map-file')).uploadFile(join(root, 'examples', 'harbour.map'));
    await page.waitForFunction(() => document.getElementById('chosen').textContent.includes('harbour.map'));
    const stale = await shownResult(page);
    check(stale === '', 'a new MAP file clears the picture, the summary and the download', `still shown: ${stale}`);

    // A truncated MAP file: gridport's import line, and mapview's reason.
    const truncated = join(scratch, 'cut');
    mkdirSync(truncated);
    const village = readFileSync(join(root, 'examples', 'village.map'));
    writeFileSync(join(truncated, 'village.map'), village.subarray(0, village.length - 100));
    await choose(page, join(truncated, 'village.map'), join(root, 'examples', 'village.vsp'));
    const line = await text(page, 'line');
    const status = await text(page, 'status');
    check(line === "Error: Could not import MAP 'village.map' 'village.vsp'" && status === 'status 1',
          'truncated village.map: the import line and status 1', `${line} / ${status}`);
    // mapview runs after gridport's line shows.
    await page.waitForFunction(() => document.getElementById('reason').textContent !== '' ||
                                     !document.getElementById('stopped').hidden, { timeout: 60000 });
    const reason = await page.$eval('#reason', (node) => (node.hidden ? '' : node.textContent));
    const stoppedNote = await page.$eval('#stopped', (node) => (node.hidden ? '' : node.textContent));
    await page.screenshot({ path: join(build, 'web-page-failure.png'), fullPage: true });
    const programs = JSON.parse(readFileSync(join(site, 'programs.json'), 'utf8'));
    if (programs.includes('mapview')) {
        check(reason.includes('village.map') && !/mapview:/.test(reason),
              "truncated village.map: a reason naming the file, without mapview's prefix", reason || stoppedNote);
    } else {
        console.log(`skipped truncated village.map: a reason naming the file (no mapview.wasm in this build; the page says "${reason}")`);
    }
    await (await page.$('#map-file')).uploadFile(join(root, 'examples', 'village.map'));
    await page.waitForFunction(() => document.getElementById('reason').textContent === '');
    check(await shownResult(page) === '', 'a new MAP file clears the failure and its reason', await shownResult(page));

    // A folder of maps: the zip of gridport-batch's RMP files, each as the
    // native gridport makes it from the map and the tileset it stores, and
    // the failures' reasons in the table.
    const maps = join(scratch, 'maps');
    execFileSync(join(native, 'tools', 'make_batch_folder'), [maps]);
    await page.reload({ waitUntil: 'load' });
    await (await page.$('#folder-files')).uploadFile(maps);
    await page.waitForFunction(() => !document.getElementById('download-zip').disabled ||
                                     !document.getElementById('batch-stopped').hidden, { timeout: 60000 });
    const summary = await text(page, 'batch-summary');
    check(/^5 maps: 3 converted, 0 up to date, 2 failed .*\(status 1\)$/.test(summary),
          'a folder of five maps: three converted, two failed', summary);
    await page.click('#download-zip');
    const zip = await waitForDownload(join(downloads, 'maps-rmp.zip'));
    let unzipped = {};
    try {
        unzipped = unzipSync(zip);
    } catch (error) {
        check(false, 'maps-rmp.zip unzips', String(error));
    }
    const pairs = [['town.map', 'Town.VSP', 'town.rmp'], ['sub/CASTLE.MAP', 'sub/keep.rts', 'sub/CASTLE.rmp'],
                   ['sub/deeper/harbour.map', 'sub/tiles/HARBOUR.vsp', 'sub/deeper/harbour.rmp']];
    check(Object.keys(unzipped).sort().join(' ') === pairs.map((pair) => pair[2]).sort().join(' '),
          'maps-rmp.zip holds the three RMP files, by their folders', Object.keys(unzipped).join(' '));
    for (const [map, tileset, rmp] of pairs) {
        const expected = join(scratch, 'batch-expected.rmp');
        execFileSync(join(native, 'gridport'), [join(maps, map), join(maps, tileset), expected]);
        check(unzipped[rmp] !== undefined && Buffer.compare(Buffer.from(unzipped[rmp]), readFileSync(expected)) === 0,
              `maps-rmp.zip: ${rmp} equals the native gridport's of ${map} with ${tileset}`);
    }
    const rows = await page.$$eval('#batch-table tbody tr', (trs) => trs.map((tr) =>
        [...tr.cells].map((cell) => cell.textContent)));
    const row = (source) => rows.find((cells) => cells[0] === source) ?? [];
    check(row('maps/sub/lost.map')[3] === 'failed' && row('maps/sub/lost.map')[4] ===
          'maps/sub/lost.map: the tileset "gone.vsp" stored in the map is in none of the folders maps/sub/',
          'the table: a map whose tileset is nowhere fails, saying where it was looked for',
          row('maps/sub/lost.map').join(' | '));
    check(row('maps/wide.map')[1] === 'maps/Town.VSP' && row('maps/wide.map')[4] ===
          'maps/wide.map: layer "Background" cell (2, 1) holds tile 40; the tileset has 5 tiles',
          'the table: a tile past the tileset\'s end fails, naming the cell', row('maps/wide.map').join(' | '));
    check(row('maps/town.map')[1] === 'maps/Town.VSP' && row('maps/town.map')[2] === 'maps-rmp/town.rmp',
          'the table: town.vsp is found as Town.VSP', row('maps/town.map').join(' | '));
    await page.screenshot({ path: join(build, 'web-page-folder.png'), fullPage: true });

    // A folder of shared tilesets, chosen after the maps, runs the folder again with --tilesets: the map whose
    // tileset was in none of its folders now finds it there.
    const shared = join(scratch, 'shared');
    mkdirSync(shared);
    copyFileSync(join(maps, 'Town.VSP'), join(shared, 'gone.vsp'));
    await (await page.$('#tileset-folder')).uploadFile(shared);
    await page.waitForFunction(() => /--tilesets/.test(document.getElementById('batch-command').textContent) &&
                                     !document.getElementById('download-zip').disabled, { timeout: 60000 });
    const again = await text(page, 'batch-summary');
    const lost = (await page.$$eval('#batch-table tbody tr', (trs) => trs.map((tr) =>
        [...tr.cells].map((cell) => cell.textContent)))).find((cells) => cells[0] === 'maps/sub/lost.map') ?? [];
    check(/^5 maps: 4 converted, 0 up to date, 1 failed .*\(status 1\)$/.test(again) &&
          lost[1] === 'shared/gone.vsp' && lost[3] === 'converted',
          'shared tilesets: the lost map finds its tileset there', `${again} / ${lost.join(' | ')}`);
    await (await page.$('#map-file')).uploadFile(join(root, 'examples', 'village.map'));
    await page.waitForFunction(() => document.getElementById('batch').hidden);
    check(await page.$$eval('#batch-table tbody tr', (trs) => trs.length) === 0,
          'a new MAP file clears the folder\'s table');

    // The 4096 x 4096 map of make bench: gridport's time against the native
    // one, best of a few runs each, and its picture drawn scaled down.
    const bench = join(scratch, 'bench');
    mkdirSync(bench);
    execFileSync(join(native, 'bench', 'make_bench_inputs'), [bench]);
    const largeMap = join(bench, 'large_v1.map');
    const largeTiles = join(bench, 'large_v1.vsp');
    const largeRmp = join(bench, 'large_v1.rmp');
    const nativeTime = nativeMilliseconds(largeMap, largeTiles, largeRmp, 5);
    let pageTime = Infinity;
    let clickTime = Infinity;
    for (let i = 0; i < 3; ++i) {
        await choose(page, largeMap, largeTiles);
        const times = await page.$eval('#status', (node) => [node.dataset.milliseconds, node.dataset.pageMilliseconds]);
        pageTime = Math.min(pageTime, Number(times[0]));
        clickTime = Math.min(clickTime, Number(times[1]));
    }
    const ratio = pageTime / nativeTime;
    console.log(`        the 4096 x 4096 map: gridport ${nativeTime.toFixed(1)} ms natively, ${pageTime.toFixed(1)} ms ` +
                `in the page (best of 5 and of 3; ${clickTime.toFixed(0)} ms from the click to the status line): ` +
                `${ratio.toFixed(2)} times native`);
    check((await text(page, 'status')).startsWith('status 0') && ratio <= 3,
          'the 4096 x 4096 map converts in the page within 3 times the native time', `${ratio.toFixed(2)} times`);
    const scaledPng = join(bench, 'large_v1.png');
    const drawing = promisify(execFile)(join(native, 'rmpview'), ['--png', scaledPng, '--size', '2048x2048', largeRmp]);
    await page.waitForFunction(() => document.getElementById('picture').width > 0, { timeout: 300000 });
    const note = await text(page, 'picture-note');
    const largeBytes = readFileSync(largeRmp);
    check(Buffer.compare(await download(page, 'large_v1.rmp', largeBytes.length), largeBytes) === 0,
          "large_v1.rmp: the download equals the native gridport's");
    await drawing;
    const scaled = nearPicture(await canvasBytes(page), scaledPng);
    check(scaled === '' && /65536 x 65536 .* 2048 x 2048/.test(note),
          'the 4096 x 4096 map is drawn scaled down as rmpview --size 2048x2048 draws it', `${scaled}; ${note}`);
    // A conversion still running when a new file comes shows nothing.
    await choose(page, join(root, 'examples', 'village.map'), join(root, 'examples', 'village.vsp'));
    await upload(page, largeMap, largeTiles);
    await page.click('#convert');
    const before = await text(page, 'status');
    await (await page.$('#map-file')).uploadFile(join(root, 'examples', 'harbour.map'));
    await new Promise((done) => setTimeout(done, 3000));
    if (before !== 'converting...') {
        console.log('        (the conversion ended before the new file came: a plain clear was checked)');
    }
    check(await shownResult(page) === '', 'a conversion overtaken by a new MAP file shows nothing',
          await shownResult(page));

    // 400 pixels wide: the picture takes the width, nothing scrolls sideways.
    await page.setViewport({ width: 400, height: 800 });
    await sample(page, 'village');
    await page.waitForFunction(() => document.getElementById('picture').width > 0);
    const narrow = await page.evaluate(() => ({
        picture: Math.round(document.getElementById('picture').getBoundingClientRect().width),
        page: document.documentElement.scrollWidth,
    }));
    await page.screenshot({ path: join(build, 'web-page-400.png'), fullPage: true });
    check(narrow.picture >= 300 && narrow.page <= 400, 'at 400 pixels wide the picture takes the width',
          `picture ${narrow.picture} px wide, page ${narrow.page} px`);
    await (await page.$('#folder-files')).uploadFile(maps);
    await page.waitForFunction(() => !document.getElementById('download-zip').disabled, { timeout: 60000 });
    const narrowTable = await page.evaluate(() => document.documentElement.scrollWidth);
    await page.screenshot({ path: join(build, 'web-page-folder-400.png'), fullPage: true });
    check(narrowTable <= 400, 'at 400 pixels wide the folder\'s table fits', `page ${narrowTable} px`);

    check(shimLines.length === 0, 'the WASI shim logs nothing', shimLines.slice(0, 3).join(' | '));
    check(errors.length === 0, 'no script errors on the page', errors.join('; '));
    check(outside.length === 0, 'no request left 127.0.0.1', outside.join(' '));
} finally {
    await browser.close();
    server.close();
    rmSync(scratch, { recursive: true, force: true });
}
console.log(`screenshots: ${['web-page.png', 'web-page-failure.png', 'web-page-folder.png', 'web-page-400.png',
                            'web-page-folder-400.png'].map((name) => join(build, name)).join(', ')}`);
console.log(`${passed} passed, ${failed} failed`);
process.exitCode = failed === 0 ? 0 : 1;
