// Runs a WASI program (gridport.wasm, rmppicture.wasm) under Node's node:wasi
// as if it were a native command: node --no-warnings run-wasi.mjs PROGRAM.wasm
// ARGUMENTS... The program sees the arguments, the current folder as "." and
// every top-level folder under its own absolute name (preopening "/" itself
// beside "." leaves absolute paths unresolved), and its exit status becomes
// this process's. A trap (the program aborted, for instance when memory ran
// out) ends with 134, as an abort does natively.
import { accessSync, constants, readFileSync, readdirSync } from 'node:fs';
import { basename } from 'node:path';
import { WASI } from 'node:wasi';

const [program, ...args] = process.argv.slice(2);
if (program === undefined) {
    process.stderr.write('usage: node --no-warnings run-wasi.mjs PROGRAM.wasm [ARGUMENTS...]\n');
    process.exit(2);
}

const preopens = { '.': '.' };
// Only folders this user may enter: one that can't be opened stops the start.
for (const entry of readdirSync('/', { withFileTypes: true })) {
    const folder = `/${entry.name}`;
    try {
        accessSync(folder, constants.R_OK | constants.X_OK);
    } catch {
        continue;
    }
    if (entry.isDirectory()) {
        preopens[folder] = folder;
    }
}

const wasi = new WASI({
    version: 'preview1',
    args: [basename(program, '.wasm'), ...args],
    env: {},
    preopens,
    returnOnExit: true,
});
const module = await WebAssembly.compile(readFileSync(program));
// Node 20 hands out its system calls as native functions, which V8 then calls
// straight from WebAssembly code. Once the program's memory has grown to tens
// of megabytes, such a direct call now and then wrecks Node's own stack and
// Node dies with a segmentation fault (a conversion with a 65535-tile
// tileset did so every time). Through a plain JavaScript function each call
// takes the ordinary road, and the crash is gone.
const native = wasi.getImportObject().wasi_snapshot_preview1;
const calls = {};
for (const [name, call] of Object.entries(native)) {
    calls[name] = (...values) => call(...values);
}
const instance = await WebAssembly.instantiate(module, { wasi_snapshot_preview1: calls });
try {
    process.exitCode = wasi.start(instance);
} catch (error) {
    process.stderr.write(`${basename(program)}: stopped: ${error.message}\n`);
    process.exitCode = 134;
}
