// Runs one WASI program of the page (gridport, rmppicture, mapview) in this
// worker, so that a long or stuck run never freezes the page. A message
// {program, args, files} gives the program the named files in its current
// folder; the answer is {status, stdout, stderr, files, milliseconds}, with
// the folder's files as the run left them, or {stopped, stderr} when the
// program trapped (for instance it aborted when memory ran out).
import { ConsoleStdout, File, OpenFile, PreopenDirectory, WASI } from './vendor/browser_wasi_shim/index.js';

const modules = new Map();

async function compiled(program) {
    if (!modules.has(program)) {
        modules.set(program, WebAssembly.compileStreaming(fetch(`${program}.wasm`)));
    }
    return modules.get(program);
}

function joined(chunks) {
    const bytes = new Uint8Array(chunks.reduce((size, chunk) => size + chunk.length, 0));
    let at = 0;
    for (const chunk of chunks) {
        bytes.set(chunk, at);
        at += chunk.length;
    }
    return bytes;
}

async function run({ program, args, files }) {
    const stdout = [];
    const stderr = [];
    const folder = new Map(Object.entries(files).map(([name, bytes]) => [name, new File(bytes)]));
    const wasi = new WASI([program, ...args], [], [
        new OpenFile(new File([])),
        new ConsoleStdout((bytes) => stdout.push(bytes.slice())),
        new ConsoleStdout((bytes) => stderr.push(bytes.slice())),
        new PreopenDirectory('.', folder),
    ]);
    const instance = await WebAssembly.instantiate(await compiled(program),
                                                   { wasi_snapshot_preview1: wasi.wasiImport });
    const decoder = new TextDecoder('utf-8');
    const started = performance.now();
    try {
        const status = wasi.start(instance);
        const milliseconds = performance.now() - started;
        const left = {};
        for (const [name, inode] of folder) {
            if (inode instanceof File) {
                left[name] = inode.data;
            }
        }
        return { status, stdout: decoder.decode(joined(stdout)), stderr: decoder.decode(joined(stderr)),
                 files: left, milliseconds };
    } catch (error) {
        return { stopped: String(error && error.message ? error.message : error),
                 stdout: decoder.decode(joined(stdout)), stderr: decoder.decode(joined(stderr)) };
    }
}

self.onmessage = async (event) => {
    let answer;
    try {
        answer = await run(event.data);
    } catch (error) {
        answer = { stopped: String(error && error.message ? error.message : error), stdout: '', stderr: '' };
    }
    const transfer = answer.files ? [...new Set(Object.values(answer.files).map((bytes) => bytes.buffer))] : [];
    self.postMessage(answer, transfer);
};
