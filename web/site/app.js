// The page: takes the files, each for what its content says it is, runs
// gridport in a worker, shows its line and status, and on success offers the
// RMP file for download and draws it with rmppicture (rmpview's reader and
// picture code), scaled down when it is large. On failure it asks mapview,
// when this build has it, for the reason. The samples are the project's
// examples, served beside the page. A folder of maps, or many files
// dropped at once, goes to gridport-batch, whose report makes a table and
// whose RMP files come as one zip file. With mapview, a conversion is also
// offered for Tiled: mapview's export (map, tileset, image) as one zip file.

const $ = (id) => document.getElementById(id);
// Pictures larger than this on a side are drawn scaled down to fit it.
const kLargestPicture = 2048;
// gridport's output goes to this folder of the origin's private disk, where
// the browser has one; files left there by a page closed more than a day ago
// are removed.
const kDiskFolder = 'runs';
const kDiskDays = 1;
const state = {
    map: null, tileset: null, result: null, batch: null, layers: [], zoom: 'fit', programs: [],
    // The last folder of maps converted, and the shared tilesets chosen for it.
    folder: null, sharedTilesets: null,
    modules: new Map(), running: new Set(),
    // Grows whenever what is shown goes stale; a run that finds it grown
    // since it started shows nothing.
    generation: 0,
};

// Each program is compiled once; every run gets a fresh worker, so that a
// program that ran out of memory leaves nothing behind and a stale run can
// be ended.
function compiled(program) {
    if (!state.modules.has(program)) {
        state.modules.set(program, WebAssembly.compileStreaming(fetch(`${program}.wasm`)));
    }
    return state.modules.get(program);
}

// Runs program with files (name or path to Blob) in its folder; the answer
// holds the files the run made (Blobs on disk, or bytes), or those below the
// folder zip as one zip file (see worker.js).
async function runProgram(program, args, files, disk = null, zip = undefined, images = []) {
    let module;
    try {
        module = await compiled(program);
    } catch (error) {
        state.modules.delete(program);
        return { stopped: `${program}.wasm could not be loaded: ${error.message}`, stdout: '', stderr: '' };
    }
    return new Promise((resolve) => {
        const worker = new Worker('worker.js', { type: 'module' });
        const run = { worker, resolve };
        state.running.add(run);
        const end = (answer) => {
            worker.terminate();
            state.running.delete(run);
            resolve(answer);
        };
        worker.onmessage = (event) => end(event.data);
        worker.onerror = (event) => end({ stopped: event.message || 'the worker failed', stdout: '', stderr: '' });
        worker.postMessage({ module, program, args, files, disk, zip, images });
    });
}

async function diskFolder() {
    return (await navigator.storage.getDirectory()).getDirectoryHandle(kDiskFolder);
}

function removeFromDisk(name) {
    diskFolder().then((folder) => folder.removeEntry(name)).catch(() => {});
}

// Files of earlier visits.
async function sweepDisk() {
    try {
        const folder = await diskFolder();
        for await (const [name, handle] of folder.entries()) {
            const file = await handle.getFile().catch(() => null);
            if (file !== null && Date.now() - file.lastModified > kDiskDays * 86400e3) {
                await folder.removeEntry(name).catch(() => {});
            }
        }
    } catch {
        // No such disk, or nothing on it.
    }
}

// Forgets the shown result and ends the runs that would show one.
function clearResult() {
    state.generation += 1;
    if (state.result?.diskName) {
        removeFromDisk(state.result.diskName);
    }
    for (const run of state.running) {
        run.worker.terminate();
        run.resolve({ stopped: 'ended', stdout: '', stderr: '' });
    }
    state.running.clear();
    state.result = null;
    state.batch = null;
    state.layers = [];
    $('outcome').hidden = true;
    $('batch').hidden = true;
    $('download-zip').disabled = true;
    $('batch-table').tBodies[0].replaceChildren();
    for (const id of ['batch-command', 'batch-summary', 'batch-stopped']) {
        $(id).textContent = '';
    }
    $('batch-stopped').hidden = true;
    $('result').hidden = true;
    $('download').disabled = true;
    $('download-tiled').disabled = true;
    for (const id of ['command', 'line', 'status', 'reason', 'stopped', 'summary', 'picture-note', 'tiled-note']) {
        $(id).textContent = '';
    }
    for (const id of ['reason', 'stopped', 'picture-note', 'tiled-note']) {
        $(id).hidden = true;
    }
    const canvas = $('picture');
    canvas.width = 0;
    canvas.height = 0;
    canvas.style.width = '';
    listLayers();
}

// What a file is by its first bytes: a MAP file starts with the byte 4
// (version 1) or with "MAP" F9 35 00 (version 2), an RTS tileset with ".rts",
// and anything else is taken for a VSP tileset. A VSP file whose version
// word is 4 starts as a version-1 MAP file does: its name ending in .vsp
// tells it apart.
async function kindOf(file) {
    const head = new Uint8Array(await file.slice(0, 6).arrayBuffer());
    const starts = (bytes) => bytes.every((byte, i) => head[i] === byte);
    if (starts([0x4D, 0x41, 0x50, 0xF9, 0x35, 0x00])) return 'map';
    if (starts([0x2E, 0x72, 0x74, 0x73])) return 'rts';
    if (head[0] === 4 && !/\.vsp$/i.test(file.name)) return 'map';
    return 'vsp';
}

const kWords = { map: 'a MAP file', vsp: 'a VSP tileset', rts: 'an RTS tileset' };

// Takes a file for what it is; chosenAs ('map' or 'tileset') is where the
// user put it, when they did.
async function take(file, chosenAs) {
    let kind;
    try {
        kind = await kindOf(file);
    } catch (error) {
        $('chosen').textContent = `${file.name} could not be read: ${error.message}`;
        return;
    }
    const slot = kind === 'map' ? 'map' : 'tileset';
    clearResult();
    state[slot] = { name: file.name, blob: file, kind };
    const moved = $('moved');
    moved.hidden = chosenAs === undefined || chosenAs === slot;
    moved.textContent = moved.hidden ? ''
        : `${file.name} was chosen as the ${chosenAs === 'map' ? 'MAP file' : 'tileset'}, but its content makes ` +
          `it ${kWords[kind]}: it is taken as the ${slot === 'map' ? 'MAP file' : 'tileset'}.`;
    showChosen();
}

// gridport reads a tileset as VSP when its name ends in .vsp and as RTS
// otherwise, so a tileset whose name says otherwise than its content is
// handed over with the right ending added (and one that has the MAP file's
// name, too).
// A name ending in .png would be taken for mapview's picture, so such a tileset gets the ending too.
function tilesetName(map, tileset) {
    const named = /\.vsp$/i.test(tileset.name) ? 'vsp' : 'rts';
    return named === tileset.kind && tileset.name !== map?.name && !/\.png$/i.test(tileset.name)
        ? tileset.name : `${tileset.name}.${tileset.kind}`;
}

function showChosen() {
    const { map, tileset } = state;
    const parts = [];
    if (map) parts.push(`MAP file: ${map.name}`);
    if (tileset) {
        const name = tilesetName(map, tileset);
        parts.push(`tileset: ${tileset.name} (${tileset.kind.toUpperCase()}` +
                   `${name === tileset.name ? '' : `, given to gridport as ${name}`})`);
    }
    $('chosen').textContent = parts.length ? parts.join('; ') : 'No files chosen.';
    $('convert').disabled = !(map && tileset);
}

// The RMP file is named after the MAP file; it never takes the name of one
// of the two inputs.
function outputName(mapName, tilesetName) {
    const stem = mapName.replace(/\.[^.]*$/, '') || mapName;
    let name = `${stem}.rmp`;
    while (name === mapName || name === tilesetName) {
        name = `${name.replace(/\.rmp$/, '')}-converted.rmp`;
    }
    return name;
}

function quoted(text) {
    return /^[\w.,+@%/-]+$/.test(text) ? text : `'${text.replace(/'/g, `'\\''`)}'`;
}

function showStopped(run, what, where = 'stopped') {
    const memory = /out of memory/.test(run.stderr);
    $(where).hidden = false;
    $(where).textContent = memory
        ? `${what} ran out of memory and was stopped: the map or tileset is too large for WebAssembly in this ` +
          'browser (at most 4 GiB). The native gridport can convert it.'
        : `${what} stopped: ${run.stderr.trim() || run.stopped}`;
}

async function convert() {
    const { map, tileset } = state;
    clearResult();
    const generation = state.generation;
    const given = tilesetName(map, tileset);
    const rmpName = outputName(map.name, given);
    const args = [map.name, given, rmpName];
    $('outcome').hidden = false;
    $('command').textContent = `$ gridport ${args.map(quoted).join(' ')}`;
    $('status').textContent = 'converting...';
    $('status').className = '';
    $('convert').disabled = true;
    const started = performance.now();
    const run = await runProgram('gridport', args, { [map.name]: map.blob, [given]: tileset.blob }, kDiskFolder);
    if (generation !== state.generation) return;
    $('convert').disabled = false;
    if (run.stopped !== undefined) {
        $('status').textContent = 'no status: the run was stopped';
        $('status').className = 'failed';
        showStopped(run, 'gridport');
        return;
    }
    $('line').textContent = run.stdout === '' ? '(no output)' : run.stdout.replace(/\n$/, '');
    $('status').textContent = `status ${run.status}` +
        (run.status === 0 ? ` — converted in ${Math.round(run.milliseconds)} ms` : '');
    $('status').className = run.status === 0 ? 'ok' : 'failed';
    // The run's own time, and the time from the click to this line.
    $('status').dataset.milliseconds = String(run.milliseconds);
    $('status').dataset.pageMilliseconds = String(performance.now() - started);
    if (run.status !== 0) {
        await explain(map, tileset, given, generation);
        return;
    }
    const rmp = run.files[rmpName];
    state.result = { rmp: rmp instanceof Blob ? rmp : new Blob([rmp]), name: rmpName, diskName: run.diskNames[rmpName],
                     map, tileset, given, tiled: null };
    $('download').disabled = false;
    $('download-tiled').hidden = !state.programs.includes('mapview');
    $('download-tiled').disabled = false;
    $('result').hidden = false;
    await draw(null);
}

// Why the conversion failed: mapview's verdict on the same two files.
async function explain(map, tileset, given, generation) {
    const reason = $('reason');
    reason.hidden = false;
    if (!state.programs.includes('mapview')) {
        // Hook: mapview.wasm joins the page when mapview is built for it.
        reason.textContent = 'This build of the page has no mapview, which would say why.';
        return;
    }
    const run = await runProgram('mapview', [map.name, given], { [map.name]: map.blob, [given]: tileset.blob });
    if (generation !== state.generation) return;
    if (run.stopped !== undefined) {
        showStopped(run, 'mapview');
        reason.hidden = true;
        return;
    }
    // The program's name before each line means nothing on the page.
    reason.textContent = (run.stderr || run.stdout).trim().replace(/^mapview: /gm, '');
}

// The three files of mapview's export for Tiled, STEM.tmj, STEM.tsj and
// STEM.png, STEM being the MAP file's name without its ending (with
// "-tiled" added while one of them would have an input's name), as one zip
// file; made at the first click, through the conversion core again. The
// image comes raw from mapview and is made a PNG file in the worker.
async function tiledZip() {
    const { map, tileset, given } = state.result;
    let stem = map.name.replace(/\.[^.]*$/, '') || map.name;
    while (['.tmj', '.tsj', '.png'].some((ending) => [map.name, given].includes(stem + ending))) stem += '-tiled';
    const files = { [map.name]: map.blob, [given]: tileset.blob };
    const run = await runProgram('mapview', [map.name, given, `${stem}.tmj`], files, null, '', [`${stem}.png`]);
    if (run.stopped !== undefined || run.status !== 0) {
        return { failure: run.stopped ?? (run.stderr || run.stdout).trim().replace(/^mapview: /gm, '') };
    }
    return { zip: new Blob([run.zip], { type: 'application/zip' }), name: `${stem}-tiled.zip` };
}

async function downloadTiled() {
    const generation = state.generation;
    const button = $('download-tiled');
    const note = $('tiled-note');
    if (state.result.tiled === null) {
        button.disabled = true;
        note.hidden = false;
        note.textContent = 'Exporting for Tiled...';
        const made = await tiledZip();
        if (generation !== state.generation) return;
        button.disabled = false;
        note.hidden = made.failure === undefined;
        note.textContent = made.failure === undefined ? '' : `No export for Tiled: ${made.failure}`;
        if (made.failure !== undefined) return;
        state.result.tiled = made;
    }
    save(state.result.tiled.zip, state.result.tiled.name);
}

// Draws the RMP file's layers: those the file shows, or as the list says.
async function draw(shown) {
    const generation = state.generation;
    const input = 'map.rmp';
    const args = ['--within', `${kLargestPicture}x${kLargestPicture}`, input, 'picture.rgba'];
    if (shown !== null) args.push(shown.map((on) => (on ? '1' : '0')).join(''));
    const note = $('picture-note');
    note.hidden = false;
    note.textContent = 'Drawing the picture...';
    for (const box of document.querySelectorAll('#layers input')) box.disabled = true;
    const run = await runProgram('rmppicture', args, { [input]: state.result.rmp });
    if (generation !== state.generation) return;
    for (const box of document.querySelectorAll('#layers input')) box.disabled = false;
    note.hidden = true;
    if (run.stopped !== undefined) {
        showStopped(run, 'drawing the map');
        return;
    }
    if (run.status !== 0) {
        note.hidden = false;
        note.textContent = run.stderr.trim();
        return;
    }
    const about = JSON.parse(run.stdout);
    $('summary').textContent = about.summary.replaceAll(input, state.result.name);
    if (state.layers.length === 0) {
        state.layers = about.layers.map((layer) => ({ ...layer }));
        listLayers();
    }
    const canvas = $('picture');
    if (about.pictureError !== undefined) {
        note.hidden = false;
        note.textContent = `No picture: ${about.pictureError}`;
        canvas.width = 0;
        canvas.height = 0;
        return;
    }
    const notes = [];
    if (about.width !== about.fullWidth || about.height !== about.fullHeight) {
        notes.push(`The picture is ${about.fullWidth} x ${about.fullHeight} pixels, drawn here scaled ` +
                   `down to ${about.width} x ${about.height}.`);
    }
    if (about.pictureNote !== undefined) notes.push(`Note: ${about.pictureNote}`);
    if (notes.length > 0) {
        note.hidden = false;
        note.textContent = notes.join(' ');
    }
    canvas.width = about.width;
    canvas.height = about.height;
    const bytes = run.files['picture.rgba'];
    const pixels = new Uint8ClampedArray(bytes.buffer, bytes.byteOffset, about.width * about.height * 4);
    canvas.getContext('2d').putImageData(new ImageData(pixels, about.width, about.height), 0, 0);
    applyZoom();
}

function listLayers() {
    const list = $('layers');
    list.replaceChildren(Object.assign(document.createElement('legend'), { textContent: 'Layers' }));
    state.layers.forEach((layer, index) => {
        const box = Object.assign(document.createElement('input'), { type: 'checkbox', checked: layer.shown });
        box.dataset.layer = String(index);
        box.addEventListener('change', () => {
            layer.shown = box.checked;
            draw(state.layers.map((each) => each.shown));
        });
        const label = document.createElement('label');
        label.append(box, ` ${index}: ${layer.name} (${layer.width} x ${layer.height})`);
        list.append(label);
    });
}

function applyZoom() {
    const canvas = $('picture');
    if (canvas.width === 0) return;
    // Fit: as large as the frame allows, up or down, whole picture in view.
    const frame = $('canvas-frame');
    const scale = state.zoom === 'fit'
        ? Math.min((frame.clientWidth - 2) / canvas.width, (window.innerHeight * 0.75 - 2) / canvas.height)
        : Number(state.zoom);
    canvas.style.width = `${Math.max(1, Math.floor(canvas.width * scale))}px`;
    // Blocks of pixels when enlarged, a smooth reduction when made smaller.
    canvas.classList.toggle('reduced', scale < 1);
    for (const button of document.querySelectorAll('[data-zoom]')) {
        button.setAttribute('aria-pressed', String(button.dataset.zoom === state.zoom));
    }
}

// Offers blob for download as name.
function save(blob, name) {
    const url = URL.createObjectURL(blob);
    const link = Object.assign(document.createElement('a'), { href: url, download: name });
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 1000);
}

// The programs this build of the page has (mapview joins them when built).
async function loadPrograms() {
    try {
        state.programs = await (await fetch('programs.json')).json();
    } catch {
        state.programs = ['gridport', 'rmppicture'];
    }
}

// One button for each sample: it takes the sample's two files and converts.
async function loadSamples() {
    let samples;
    try {
        samples = await (await fetch('samples.json')).json();
    } catch {
        return;
    }
    const place = $('samples');
    for (const sample of samples) {
        const button = Object.assign(document.createElement('button'), { type: 'button', textContent: sample.name });
        button.dataset.sample = sample.name;
        button.addEventListener('click', () => trySample(sample));
        place.append(' ', button);
    }
    place.hidden = samples.length === 0;
}

async function trySample(sample) {
    let files;
    try {
        files = await Promise.all([sample.map, sample.tileset].map(async (name) => {
            const response = await fetch(`samples/${encodeURIComponent(name)}`);
            if (!response.ok) throw new Error(`samples/${name}: ${response.status} ${response.statusText}`);
            return new File([await response.blob()], name);
        }));
    } catch (error) {
        $('chosen').textContent = `The sample could not be loaded: ${error.message}`;
        return;
    }
    for (const file of files) await take(file);
    if (state.map && state.tileset) await convert();
}

const kReport = 'report.json';

// files: each {path, file}, path '/'-separated. gridport-batch converts the
// folder they all start in (the one chosen), or a folder "maps" that holds
// them, into the folder of that name with -rmp added, which becomes the zip
// file; the report's paths and reasons name them as a native run would.
// The folder the files all start in, or '' when they don't share one.
function topFolder(files) {
    const tops = new Set(files.map(({ path }) => (path.includes('/') ? path.split('/')[0] : '')));
    return tops.size === 1 && !tops.has('') ? [...tops][0] : '';
}

// A folder of shared tilesets, when one was chosen, goes beside the maps' as --tilesets.
async function convertFolder(files) {
    clearResult();
    state.folder = files;
    const generation = state.generation;
    const source = topFolder(files);
    const given = {};
    for (const { path, file } of files) {
        given[source === '' ? `maps/${path}` : path] = file;
    }
    const input = source || 'maps';
    const output = `${input}-rmp`;
    const args = ['--report', kReport];
    if (state.sharedTilesets) {
        const top = topFolder(state.sharedTilesets);
        let shared = top || 'tilesets';
        while (shared === input || shared === output) shared += '-shared';
        for (const { path, file } of state.sharedTilesets) {
            given[`${shared}/${top === '' ? path : path.slice(top.length + 1)}`] = file;
        }
        args.push('--tilesets', shared);
    }
    args.push(input, output);
    $('batch').hidden = false;
    $('batch-command').textContent = `$ gridport-batch ${args.map(quoted).join(' ')}`;
    $('batch-summary').textContent = `converting the maps among ${files.length} files...`;
    const run = await runProgram('gridport-batch', args, given, null, output);
    if (generation !== state.generation) return;
    if (run.stopped !== undefined) {
        $('batch-summary').textContent = 'no report: the run was stopped';
        showStopped(run, 'gridport-batch', 'batch-stopped');
        return;
    }
    const report = run.files[kReport];
    $('batch-summary').textContent = (run.stdout.split('\n')[0] || run.stderr.trim()) +
        (report === undefined ? '' : ` (status ${run.status})`);
    if (report === undefined) return;
    showReport(JSON.parse(new TextDecoder().decode(report)));
    state.batch = { zip: new Blob([run.zip], { type: 'application/zip' }), name: `${output}.zip` };
    $('download-zip').disabled = false;
}

// A path of the report, {"text": ...} or, for a name that isn't UTF-8, {"bytes": base64}, as text.
function pathText(path) {
    return path.text ?? new TextDecoder().decode(Uint8Array.from(atob(path.bytes), (c) => c.charCodeAt(0)));
}

function showReport(records) {
    const rows = records.map((record) => {
        const row = document.createElement('tr');
        const cells = [pathText(record.source), record.tileset ? pathText(record.tileset) : 'none',
                       record.result === 'converted' ? pathText(record.output) : '', record.result,
                       record.reason ?? ''];
        const headings = [...$('batch-table').tHead.rows[0].cells].map((cell) => cell.textContent);
        cells.forEach((text, i) => {
            const cell = Object.assign(document.createElement('td'), { textContent: text });
            // A narrow window shows each row as lines headed by the column's name.
            cell.dataset.heading = headings[i];
            row.append(cell);
        });
        row.cells[3].className = record.result;
        return row;
    });
    $('batch-table').tBodies[0].replaceChildren(...rows);
}

// The files below dropped entries (FileSystemEntry), with their paths.
async function entryFiles(entries) {
    const found = [];
    const walk = async (entry, folder) => {
        if (entry.isFile) {
            found.push({ path: folder + entry.name, file: await new Promise((done, fail) => entry.file(done, fail)) });
            return;
        }
        const reader = entry.createReader();
        for (;;) {
            const some = await new Promise((done, fail) => reader.readEntries(done, fail));
            if (some.length === 0) break;
            for (const each of some) await walk(each, `${folder}${entry.name}/`);
        }
    };
    for (const entry of entries) await walk(entry, '');
    return found;
}

// A folder, or more files than a MAP file and its tileset, is a batch.
async function dropped(event) {
    event.preventDefault();
    $('drop').classList.remove('over');
    const entries = [...event.dataTransfer.items].map((item) => item.webkitGetAsEntry?.()).filter(Boolean);
    const files = [...event.dataTransfer.files];
    if (entries.some((entry) => entry.isDirectory) || files.length > 2) {
        await convertFolder(entries.length > 0 ? await entryFiles(entries)
            : files.map((file) => ({ path: file.name, file })));
        return;
    }
    for (const file of files) {
        await take(file);
    }
}

function chosenFiles(event) {
    return [...event.target.files].map((file) => ({ path: file.webkitRelativePath || file.name, file }));
}

function folderChosen(event) {
    const files = chosenFiles(event);
    if (files.length > 0) convertFolder(files);
}

// Shared tilesets chosen after a folder of maps convert it again with them.
function tilesetFolderChosen(event) {
    const files = chosenFiles(event);
    state.sharedTilesets = files.length > 0 ? files : null;
    if (state.folder && !$('batch').hidden) convertFolder(state.folder);
}

$('map-file').addEventListener('change', (event) => event.target.files[0] && take(event.target.files[0], 'map'));
$('tileset-file').addEventListener('change',
                                   (event) => event.target.files[0] && take(event.target.files[0], 'tileset'));
$('drop').addEventListener('dragover', (event) => {
    event.preventDefault();
    $('drop').classList.add('over');
});
$('drop').addEventListener('dragleave', () => $('drop').classList.remove('over'));
$('drop').addEventListener('drop', dropped);
$('convert').addEventListener('click', convert);
$('download').addEventListener('click', () => save(state.result.rmp, state.result.name));
$('download-tiled').addEventListener('click', downloadTiled);
$('folder-files').addEventListener('change', folderChosen);
$('tileset-folder').addEventListener('change', tilesetFolderChosen);
$('download-zip').addEventListener('click', () => save(state.batch.zip, state.batch.name));
for (const button of document.querySelectorAll('[data-zoom]')) {
    button.addEventListener('click', () => {
        state.zoom = button.dataset.zoom;
        applyZoom();
    });
}
window.addEventListener('resize', () => state.zoom === 'fit' && applyZoom());
window.addEventListener('pagehide', () => state.result?.diskName && removeFromDisk(state.result.diskName));
sweepDisk();
loadPrograms();
loadSamples();
