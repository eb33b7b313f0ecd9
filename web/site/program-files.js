// The files a program run in the worker sees, through the WASI shim.
//
// The shim's own File grows by exactly what each write adds, copying the
// whole file every time: writing the 67 MB RMP file of a 4096 x 4096 map in
// gridport's 256 KiB writes took 23 s of a 23.4 s conversion under Node. With
// the copies gone, what remained was the memory itself: every fresh page of
// it costs a fault, and holding the 67 MB took 200 of the conversion's 250 ms
// in Chromium. So a file that the program makes goes, where the browser
// lets a worker write files of its own (the origin private file system), to
// one of those, through the browser's file cache, as a native program's
// output does (20 ms for the 67 MB); anywhere else to a MemoryFile.
//
// A MemoryFile holds the files given to the program, and those it makes when
// there is no disk. It grows in place where the browser has resizable
// buffers, else doubles its room. Writes go straight from the program's
// memory to either kind of file.
import { Directory, File, OpenFile, OpenSyncOPFSFile, PreopenDirectory, SyncOPFSFile, wasi }
    from './vendor/browser_wasi_shim/index.js';

const kLeastRoom = 1 << 16;
// As much as a 32-bit program could ever write.
const kMostRoom = 2 ** 32;

// A buffer of length bytes that may grow to kMostRoom in place, or a plain
// one where the browser can't.
function growable(length) {
    try {
        return new Uint8Array(new ArrayBuffer(length, { maxByteLength: kMostRoom }));
    } catch {
        return new Uint8Array(length);
    }
}

export class MemoryFile extends File {
    constructor(bytes = new Uint8Array(0)) {
        super(new ArrayBuffer(0));
        this.data = bytes;
    }

    // The file's bytes; those past them, up to the room's end, are zero.
    get data() {
        return this.room.subarray(0, this.length);
    }

    set data(bytes) {
        this.room = bytes;
        this.length = bytes.length;
    }

    get size() {
        return BigInt(this.length);
    }

    // The bytes, in a buffer of their own that can go to a Blob or another
    // thread (neither takes a resizable one).
    take() {
        const buffer = this.room.buffer;
        if (buffer.resizable && this.room.byteOffset === 0 && buffer.transferToFixedLength) {
            this.data = new Uint8Array(buffer.transferToFixedLength(this.length));
        } else if (buffer.resizable) {
            this.data = this.data.slice();
        }
        return this.data;
    }

    // Room for end bytes at least.
    reserve(end) {
        if (end <= this.room.length) {
            return;
        }
        const wanted = Math.max(end, this.room.length * 2, kLeastRoom);
        const buffer = this.room.buffer;
        if (buffer.resizable && this.room.byteOffset === 0 && end <= buffer.maxByteLength) {
            buffer.resize(Math.min(wanted, buffer.maxByteLength));
            this.room = new Uint8Array(buffer, 0, buffer.byteLength);
            return;
        }
        const room = growable(wanted);
        room.set(this.data);
        this.room = room;
    }

    resize(length) {
        this.reserve(length);
        if (length < this.length) {
            this.room.fill(0, length, this.length);
        }
        this.length = length;
    }

    place(bytes, at) {
        this.reserve(at + bytes.length);
        this.room.set(bytes, at);
        this.length = Math.max(this.length, at + bytes.length);
    }

    path_open(oflags, rights, fdflags) {
        const opened = super.path_open(oflags, rights, fdflags);
        if (opened.fd_obj !== null) {
            const file = new OpenMemoryFile(this);
            file.file_pos = opened.fd_obj.file_pos;
            opened.fd_obj = file;
        }
        return opened;
    }
}

class OpenMemoryFile extends OpenFile {
    // The shim copies what a read returns into the program's memory at once,
    // so a view will do.
    fd_pread(size, offset) {
        const start = Math.min(Number(offset), this.file.length);
        return { ret: wasi.ERRNO_SUCCESS, data: this.file.room.subarray(start, Math.min(start + size, this.file.length)) };
    }

    fd_read(size) {
        const read = this.fd_pread(size, this.file_pos);
        this.file_pos += BigInt(read.data.length);
        return read;
    }

    fd_pwrite(data, offset) {
        if (this.file.readonly) {
            return { ret: wasi.ERRNO_BADF, nwritten: 0 };
        }
        this.file.place(data, Number(offset));
        return { ret: wasi.ERRNO_SUCCESS, nwritten: data.byteLength };
    }

    fd_write(data) {
        const written = this.fd_pwrite(data, this.file_pos);
        this.file_pos += BigInt(written.nwritten);
        return written;
    }

    fd_filestat_set_size(size) {
        this.file.resize(Number(size));
        return wasi.ERRNO_SUCCESS;
    }

    fd_allocate(offset, length) {
        this.file.resize(Math.max(this.file.length, Number(offset + length)));
        return wasi.ERRNO_SUCCESS;
    }
}

// A file on the origin's private disk, opened for this run: spare.handle
// names it, spare.access reads and writes it.
export class DiskFile extends SyncOPFSFile {
    constructor(spare) {
        super(spare.access);
        this.spare = spare;
    }
}

// Opens count spare files in folder (a FileSystemDirectoryHandle) for a run
// to make its files in; none where the browser has no such disk.
export async function spareFiles(folder, count) {
    const spares = [];
    for (let i = 0; i < count; ++i) {
        const name = crypto.randomUUID();
        try {
            const handle = await folder.getFileHandle(name, { create: true });
            spares.push({ folder, name, handle, access: await handle.createSyncAccessHandle() });
        } catch {
            // The rest of the files are made in memory.
            await folder.removeEntry(name).catch(() => {});
            break;
        }
    }
    return spares;
}

// Closes a spare file; removes it too unless it is kept.
export async function closeSpare(spare, keep) {
    spare.access.close();
    if (!keep) {
        await spare.folder.removeEntry(spare.name).catch(() => {});
    }
}

// Puts replacement where entry is, below folder.
function swap(folder, entry, replacement) {
    for (const [name, each] of folder.contents) {
        if (each === entry) {
            folder.contents.set(name, replacement);
            return true;
        }
        if (each instanceof Directory && swap(each, entry, replacement)) {
            return true;
        }
    }
    return false;
}

// A folder whose new files are the spares on disk while they last, then
// MemoryFiles.
class ProgramFolder extends Directory {
    constructor(contents, spares) {
        super(contents);
        this.spares = spares;
    }

    create_entry_for_path(path, isDirectory) {
        const made = super.create_entry_for_path(path, isDirectory);
        if (made.entry !== null) {
            const spare = isDirectory ? undefined : this.spares.shift();
            const replacement = isDirectory ? new ProgramFolder(new Map(), this.spares)
                : spare !== undefined ? new DiskFile(spare) : new MemoryFile();
            swap(this, made.entry, replacement);
            made.entry = replacement;
        }
        return made;
    }
}

// Puts file at path ('a/b/c.map') below the folder contents (a Map), with
// the folders on the way as the program would make them.
export function placeFile(contents, path, file, spares = []) {
    const parts = path.split('/');
    let at = contents;
    for (const part of parts.slice(0, -1)) {
        if (!at.has(part)) {
            at.set(part, new ProgramFolder(new Map(), spares));
        }
        at = at.get(part).contents;
    }
    at.set(parts.at(-1), file);
}

// Every file below the folder contents (a Map), with its path from there.
export function* filesBelow(contents, prefix = '') {
    for (const [name, inode] of contents) {
        if (inode instanceof Directory) {
            yield* filesBelow(inode.contents, `${prefix}${name}/`);
        } else {
            yield [`${prefix}${name}`, inode];
        }
    }
}

// The program's current folder ".", holding files (a Map of names, or of
// paths through folders, to MemoryFiles); the files the program makes take
// spares first.
export function currentFolder(files, spares = []) {
    const folder = new PreopenDirectory('.', new Map());
    folder.dir = new ProgramFolder(files, spares);
    return folder;
}

// The shim's fd_write copies what the program writes out of its memory
// before the file copies it again; this one writes it into the file at once.
export function writeDirectly(runner) {
    const shimWrite = runner.wasiImport.fd_write;
    runner.wasiImport.fd_write = (fd, vectors, count, writtenAt) => {
        const open = runner.fds[fd];
        const memoryFile = open instanceof OpenMemoryFile;
        if (!(memoryFile || open instanceof OpenSyncOPFSFile) || open.file.readonly) {
            return shimWrite(fd, vectors, count, writtenAt);
        }
        const memory = runner.inst.exports.memory.buffer;
        const view = new DataView(memory);
        let written = 0;
        for (let i = 0; i < count; ++i) {
            const at = view.getUint32(vectors + 8 * i, true);
            const length = view.getUint32(vectors + 8 * i + 4, true);
            const bytes = new Uint8Array(memory, at, length);
            let done = length;
            if (memoryFile) {
                open.file.place(bytes, Number(open.file_pos));
                open.file_pos += BigInt(length);
            } else {
                try {
                    done = open.file.handle.write(bytes, { at: Number(open.position) });
                } catch {
                    // The disk is full, or the browser's quota reached.
                    return wasi.ERRNO_NOSPC;
                }
                open.position += BigInt(done);
            }
            written += done;
            if (done !== length) {
                break;
            }
        }
        view.setUint32(writtenAt, written, true);
        return wasi.ERRNO_SUCCESS;
    };
    return runner;
}
