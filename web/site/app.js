// The page: picks the files, runs gridport in a worker, shows its line and
// status, and on success draws the converted map with rmppicture (rmpview's
// reader and picture code) and offers the RMP file for download. On failure
// it asks mapview, when this build has it, for the reason.

const $ = (id) => document.getElementById(id);
const state = { map: null, tileset: null, rmp: null, rmpName: '', layers: [], zoom: 'fit', programs: [] };

// Each run gets a fresh worker: a program that ran out of memory leaves
// nothing behind, and a stuck one can be ended.
function runProgram(program, args, files) {
    return new Promise((resolve) => {
        const worker = new Worker('worker.js', { type: 'module' });
        const copies = {};
        for (const [name, bytes] of Object.entries(files)) {
            copies[name] = bytes.slice();
        }
        worker.onmessage = (event) => {
            worker.terminate();
            resolve(event.data);
        };
        worker.onerror = (event) => {
            worker.terminate();
            resolve({ stopped: event.message || 'the worker failed', stdout: '', stderr: '' });
        };
        worker.postMessage({ program, args, files: copies }, Object.values(copies).map((bytes) => bytes.buffer));
    });
}

// The programs this build of the page has (mapview joins them when built).
async function loadPrograms() {
    try {
        state.programs = await (await fetch('programs.json')).json();
    } catch {
        state.programs = ['gridport', 'rmppicture'];
    }
}

function isMapName(name) {
    return /\.map$/i.test(name);
}

async function take(file, slot) {
    state[slot] = { name: file.name, bytes: new Uint8Array(await file.arrayBuffer()) };
    const parts = [];
    if (state.map) parts.push(`MAP file: ${state.map.name}`);
    if (state.tileset) {
        const kind = /\.vsp$/i.test(state.tileset.name) ? 'VSP' : 'RTS';
        parts.push(`tileset: ${state.tileset.name} (read as ${kind})`);
    }
    $('chosen').textContent = parts.length ? parts.join('; ') : 'No files chosen.';
    $('convert').disabled = !(state.map && state.tileset);
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

function showStopped(run, what) {
    const memory = /out of memory/.test(run.stderr);
    $('stopped').hidden = false;
    $('stopped').textContent = memory
        ? `${what} ran out of memory and was stopped: the map or tileset is too large for WebAssembly in this ` +
          'browser (at most 4 GiB). The native gridport can convert it.'
        : `${what} stopped: ${run.stderr.trim() || run.stopped}`;
}

async function convert() {
    const { map, tileset } = state;
    state.rmpName = outputName(map.name, tileset.name);
    const args = [map.name, tileset.name, state.rmpName];
    $('outcome').hidden = false;
    $('result').hidden = true;
    $('reason').hidden = true;
    $('reason').textContent = '';
    $('stopped').hidden = true;
    $('command').textContent = `$ gridport ${args.map(quoted).join(' ')}`;
    $('line').textContent = '';
    $('status').textContent = 'converting...';
    $('status').className = '';
    $('convert').disabled = true;
    const files = { [map.name]: map.bytes, [tileset.name]: tileset.bytes };
    const run = await runProgram('gridport', args, files);
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
    $('status').dataset.milliseconds = String(run.milliseconds);
    if (run.status !== 0) {
        await explain(map, tileset);
        return;
    }
    state.rmp = run.files[state.rmpName];
    state.layers = [];
    await draw(null);
}

// Why the conversion failed: mapview's verdict on the same two files.
async function explain(map, tileset) {
    const reason = $('reason');
    reason.hidden = false;
    if (!state.programs.includes('mapview')) {
        // Hook: mapview.wasm joins the page when mapview is built for it.
        reason.textContent = 'This build of the page has no mapview, which would say why.';
        return;
    }
    const run = await runProgram('mapview', [map.name, tileset.name],
                                 { [map.name]: map.bytes, [tileset.name]: tileset.bytes });
    if (run.stopped !== undefined) {
        showStopped(run, 'mapview');
        reason.hidden = true;
        return;
    }
    reason.textContent = (run.stderr || run.stdout).trim();
}

// Draws the RMP file's layers: those the file shows, or as the list says.
async function draw(shown) {
    const input = 'map.rmp';
    const args = [input, 'picture.rgba'];
    if (shown !== null) args.push(shown.map((on) => (on ? '1' : '0')).join(''));
    const run = await runProgram('rmppicture', args, { [input]: state.rmp });
    $('result').hidden = false;
    if (run.stopped !== undefined) {
        showStopped(run, 'drawing the map');
        return;
    }
    if (run.status !== 0) {
        $('picture-note').hidden = false;
        $('picture-note').textContent = run.stderr.trim();
        return;
    }
    const about = JSON.parse(run.stdout);
    $('summary').textContent = about.summary.replaceAll(input, state.rmpName);
    if (state.layers.length === 0) {
        state.layers = about.layers.map((layer) => ({ ...layer }));
        listLayers();
    }
    const canvas = $('picture');
    const note = $('picture-note');
    note.hidden = about.pictureError === undefined;
    if (about.pictureError !== undefined) {
        note.textContent = `No picture: ${about.pictureError}`;
        canvas.width = 0;
        canvas.height = 0;
        return;
    }
    canvas.width = about.width;
    canvas.height = about.height;
    const pixels = new Uint8ClampedArray(run.files['picture.rgba'].buffer, run.files['picture.rgba'].byteOffset,
                                         about.width * about.height * 4);
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
    // Fit: as large as the frame allows, up or down, whole picture in view.
    const frame = $('canvas-frame');
    const scale = state.zoom === 'fit'
        ? Math.min((frame.clientWidth - 2) / canvas.width, (window.innerHeight * 0.75 - 2) / canvas.height)
        : Number(state.zoom);
    canvas.style.width = `${Math.max(1, Math.floor(canvas.width * scale))}px`;
    for (const button of document.querySelectorAll('[data-zoom]')) {
        button.setAttribute('aria-pressed', String(button.dataset.zoom === state.zoom));
    }
}

function download() {
    const url = URL.createObjectURL(new Blob([state.rmp], { type: 'application/octet-stream' }));
    const link = Object.assign(document.createElement('a'), { href: url, download: state.rmpName });
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 1000);
}

function dropped(event) {
    event.preventDefault();
    $('drop').classList.remove('over');
    for (const file of event.dataTransfer.files) {
        take(file, isMapName(file.name) ? 'map' : 'tileset');
    }
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
$('download').addEventListener('click', download);
for (const button of document.querySelectorAll('[data-zoom]')) {
    button.addEventListener('click', () => {
        state.zoom = button.dataset.zoom;
        applyZoom();
    });
}
window.addEventListener('resize', () => state.zoom === 'fit' && applyZoom());
loadPrograms();
