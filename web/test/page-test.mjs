// The browser test of the web page (make test-web): serves BUILD/site on
// 127.0.0.1, drives Debian's headless Chromium through it with puppeteer-core
// and checks, for every example, that the downloaded RMP file equals the
// native gridport's and that the canvas equals rmpview's picture; that a
// hidden layer leaves the picture of the other; that a truncated MAP shows
// the import line and a reason naming the file; and that no request leaves
// 127.0.0.1. It saves a screenshot of the converted village in BUILD.
//   node web/test/page-test.mjs BUILD   (make test-web)
import { execFileSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { basename, extname, join, resolve } from 'node:path';

const root = resolve(new URL('../..', import.meta.url).pathname);
const build = resolve(process.argv[2] ?? 'build-wasm');
const site = join(build, 'site');
const require = createRequire(join(build, 'npm', 'package.json'));
const puppeteer = require('puppeteer-core');
const { PNG } = require('pngjs');
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

async function choose(page, map, tileset) {
    await page.reload({ waitUntil: 'load' });
    await (await page.$('#map-file')).uploadFile(map);
    await (await page.$('#tileset-file')).uploadFile(tileset);
    await page.waitForFunction(() => !document.getElementById('convert').disabled);
    await page.click('#convert');
    await page.waitForFunction(() => /^(status|no status)/.test(document.getElementById('status').textContent),
                               { timeout: 60000 });
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

async function waitForFile(path, size) {
    for (let i = 0; i < 200; ++i) {
        if (existsSync(path) && readFileSync(path).length === size) return;
        await new Promise((done) => setTimeout(done, 50));
    }
}

const server = await serve();
const origin = `http://127.0.0.1:${server.address().port}`;
const scratch = mkdtempSync(join(tmpdir(), 'gridport-web-'));
const downloads = join(scratch, 'downloads');
const outside = [];
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
    const cdp = await page.createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
    await page.goto(`${origin}/`, { waitUntil: 'load' });

    for (const example of examples()) {
        await choose(page, example.map, example.tileset);
        const status = await page.$eval('#status', (node) => node.textContent);
        const line = await page.$eval('#line', (node) => node.textContent);
        check(status.startsWith('status 0') && line === '(no output)', `${example.stem}: converts`, `${status} ${line}`);
        const milliseconds = Number(await page.$eval('#status', (node) => node.dataset.milliseconds));
        console.log(`        ${example.stem}: converted in the page in ${milliseconds.toFixed(1)} ms`);

        const expected = join(scratch, `${example.stem}.rmp`);
        execFileSync(join(native, 'gridport'), [example.map, example.tileset, expected]);
        // The picture is drawn after the status shows; the button waits with it.
        await page.waitForFunction(() => !document.getElementById('result').hidden &&
                                          document.getElementById('picture').width > 0);
        await page.click('#download');
        const got = join(downloads, `${example.stem}.rmp`);
        await waitForFile(got, readFileSync(expected).length);
        check(existsSync(got) && Buffer.compare(readFileSync(got), readFileSync(expected)) === 0,
              `${example.stem}: the downloaded ${example.stem}.rmp equals the native gridport's`);

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

    // A truncated MAP file: gridport's import line, and mapview's reason.
    const truncated = join(scratch, 'cut');
    execFileSync('mkdir', ['-p', truncated]);
    const village = readFileSync(join(root, 'examples', 'village.map'));
    writeFileSync(join(truncated, 'village.map'), village.subarray(0, village.length - 100));
    await choose(page, join(truncated, 'village.map'), join(root, 'examples', 'village.vsp'));
    const line = await page.$eval('#line', (node) => node.textContent);
    const status = await page.$eval('#status', (node) => node.textContent);
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
        check(reason.includes('village.map'), 'truncated village.map: a reason naming the file', reason || stoppedNote);
    } else {
        console.log(`skipped truncated village.map: a reason naming the file (no mapview.wasm in this build; the page says "${reason}")`);
    }

    check(errors.length === 0, 'no script errors on the page', errors.join('; '));
    check(outside.length === 0, 'no request left 127.0.0.1', outside.join(' '));
} finally {
    await browser.close();
    server.close();
    rmSync(scratch, { recursive: true, force: true });
}
console.log(`screenshots: ${join(build, 'web-page.png')}, ${join(build, 'web-page-failure.png')}`);
console.log(`${passed} passed, ${failed} failed`);
process.exitCode = failed === 0 ? 0 : 1;
