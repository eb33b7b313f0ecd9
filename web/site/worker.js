// Runs one WASI program of the page (gridport, gridport-batch, rmppicture,
// mapview) in this worker, so that a long or stuck run never freezes the
// page. A message {module, program, args, files, disk, zip} runs the
// compiled program with the named files (Blobs or bytes) in its current
// folder, a name with '/' in it being a path through folders; with disk
// set, the files it makes go to the origin's private disk, in the folder of
// that name, where the browser has one (see program-files.js). The answer is
// {status, stdout, stderr, files, diskNames, milliseconds}: the files the run
// made by their paths, each a Blob when on disk (diskNames gives its name
// there) or its bytes, and the run's own time; or {stopped, stderr} when the
// program trapped (for instance it aborted when memory ran out). With zip
// naming a folder, the files made below it come instead as one zip file,
// zip, their paths inside it taken from that folder ('' for all the files
// made). Each file the run made that images names is a raw image (mapview's
// tileset image for Tiled in this build), made a PNG file before that.
import { ConsoleStdout, File, OpenFile, WASI } from './vendor/browser_wasi_shim/index.js';
import { zipSync } from './vendor/fflate/browser.js';
import { pngFromRaw } from './raw-png.js';
import { DiskFile, MemoryFile, closeSpare, currentFolder, filesBelow, placeFile, spareFiles, writeDirectly }
    from './program-files.js';

// Spare files on disk for a run: gridport makes its output under a
// temporary name and then renames it.
const kSpares = 2;

function joined(chunks) {
    const bytes = new Uint8Array(chunks.reduce((size, chunk) => size + chunk.length, 0));
    let at = 0;
    for (const chunk of chunks) {
        bytes.set(chunk, at);
        at += chunk.length;
    }
    return bytes;
}

async function diskFolder(name) {
    try {
        return await (await navigator.storage.getDirectory()).getDirectoryHandle(name, { create: true });
    } catch {
        return null;
    }
}

// The files made below folder, in a zip file with their paths from there; a
// dot-file the program keeps for its next run (gridport-batch's build log)
// is left out, as the page has no next run.
function zipped(made, folder) {
    const entries = {};
    const prefix = folder === '' ? '' : `${folder}/`;
    for (const [path, bytes] of Object.entries(made)) {
        if (path.startsWith(prefix)) {
            if (!path.split('/').pop().startsWith('.')) {
                entries[path.slice(prefix.length)] = bytes;
            }
            delete made[path];
        }
    }
    return zipSync(entries);
}

async function run({ module, program, args, files, disk, zip, images = [] }) {
    const stdout = [];
    const stderr = [];
    const folder = new Map();
    const onDisk = disk ? await diskFolder(disk) : null;
    const spares = onDisk ? await spareFiles(onDisk, kSpares) : [];
    const unused = [...spares];
    for (const [name, contents] of Object.entries(files)) {
        const bytes = contents instanceof Blob ? new Uint8Array(await contents.arrayBuffer()) : contents;
        placeFile(folder, name, new MemoryFile(bytes), unused);
    }
    // The shim logs every call unless told not to.
    const wasi = writeDirectly(new WASI([program, ...args], [], [
        new OpenFile(new File([])),
        new ConsoleStdout((bytes) => stdout.push(bytes.slice())),
        new ConsoleStdout((bytes) => stderr.push(bytes.slice())),
        currentFolder(folder, unused),
    ], { debug: false }));
    const instance = await WebAssembly.instantiate(module, { wasi_snapshot_preview1: wasi.wasiImport });
    const decoder = new TextDecoder('utf-8');
    const started = performance.now();
    let status;
    try {
        status = wasi.start(instance);
    } catch (error) {
        await Promise.all(spares.map((spare) => closeSpare(spare, false)));
        return { stopped: String(error && error.message ? error.message : error),
                 stdout: decoder.decode(joined(stdout)), stderr: decoder.decode(joined(stderr)) };
    }
    const milliseconds = performance.now() - started;
    const made = {};
    const diskNames = {};
    const kept = new Set();
    const inodes = [...filesBelow(folder)];
    for (const [name, inode] of inodes) {
        if (name in files) {
            continue;
        }
        if (inode instanceof DiskFile) {
            kept.add(inode.spare);
            diskNames[name] = inode.spare.name;
        } else if (inode instanceof MemoryFile) {
            made[name] = inode.take();
        }
    }
    for (const name of images) {
        if (made[name] instanceof Uint8Array) {
            made[name] = pngFromRaw(made[name]);
        }
    }
    // A spare the program made no file in, or whose file it removed, goes.
    await Promise.all(spares.map((spare) => closeSpare(spare, kept.has(spare))));
    for (const [name, inode] of inodes) {
        if (inode instanceof DiskFile && kept.has(inode.spare)) {
            made[name] = await inode.spare.handle.getFile();
        }
    }
    return { status, stdout: decoder.decode(joined(stdout)), stderr: decoder.decode(joined(stderr)),
             files: made, diskNames, milliseconds, zip: zip === undefined ? undefined : zipped(made, zip) };
}

self.onmessage = async (event) => {
    let answer;
    try {
        answer = await run(event.data);
    } catch (error) {
        answer = { stopped: String(error && error.message ? error.message : error), stdout: '', stderr: '' };
    }
    const bytes = answer.files ? Object.values(answer.files).filter((file) => !(file instanceof Blob)) : [];
    if (answer.zip) {
        bytes.push(answer.zip);
    }
    self.postMessage(answer, [...new Set(bytes.map((each) => each.buffer))]);
};
