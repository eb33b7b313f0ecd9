#include "support/MemoryFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace gridport::test {

std::string MemoryState::Resolve(const std::string& path) const {
    std::string end = path;
    // A loop of links ends somewhere that holds no file.
    for (int hop = 0; hop < 8; ++hop) {
        // The first part of the path that is a link is replaced by its end.
        bool replaced = false;
        for (std::size_t cut = end.find('/', 1);; cut = end.find('/', cut + 1)) {
            const std::size_t length = cut == std::string::npos ? end.size() : cut;
            if (const auto link = links.find(end.substr(0, length)); link != links.end()) {
                end = link->second + end.substr(length);
                replaced = true;
                break;
            }
            if (cut == std::string::npos) {
                break;
            }
        }
        if (!replaced) {
            break;
        }
    }
    return end;
}

bool MemoryState::IsFolder(const std::string& resolved) const {
    const std::string below = resolved + "/";
    const auto under = [&below](const std::string& key) { return key.compare(0, below.size(), below) == 0; };
    const auto file = files.lower_bound(below);
    const auto folder = folders.lower_bound(below);
    const auto link = links.lower_bound(below);
    return folders.count(resolved) != 0 || (file != files.end() && under(file->first)) ||
           (folder != folders.end() && under(*folder)) || (link != links.end() && under(link->first));
}

// Like a disk, it reports exhausted memory as a failed open or a short write,
// never by throwing.
Expected<std::unique_ptr<File>> MemoryFileSystem::Open(const std::string& path, OpenMode mode) try {
    if (state_->faults.Fails(FileOperation::Open)) {
        return Error::System(path, "cannot open", EIO);
    }
    const std::string file = state_->Resolve(path);
    const auto bits = static_cast<std::uint32_t>(mode);
    std::shared_ptr<MemoryNode> node;
    if ((bits & static_cast<std::uint32_t>(OpenMode::Write)) != 0) {
        const auto found = state_->files.find(file);
        if (found != state_->files.end() && found->second->kind != FileKind::Regular) {
            node = found->second;
        } else {
            node = std::make_shared<MemoryNode>();
            node->mode = 0666 & ~state_->umask;
            node->modified = ++state_->clock;
            state_->files[file] = node;
        }
    } else if ((bits & static_cast<std::uint32_t>(OpenMode::Read)) != 0) {
        const auto found = state_->files.find(file);
        if (found == state_->files.end()) {
            FileStatus status;
            status.kind = state_->IsFolder(file) ? FileKind::Folder : FileKind::Missing;
            return RequireRegular(path, status).error();
        }
        FileStatus status;
        status.kind = found->second->kind;
        if (Expected<void> regular = RequireRegular(path, status); !regular) {
            return regular.error();
        }
        node = found->second;
    } else {
        return Error(path, "no open mode given");
    }
    return std::make_unique<MemoryFile>(state_, std::move(node), MemoryOutput{path, {}, {}});
} catch (const std::bad_alloc&) {
    return Error(path, "out of memory");
}

Expected<std::unique_ptr<OutputFile>> MemoryFileSystem::OpenOutput(const std::string& path) try {
    const std::string target = state_->Resolve(path);
    const auto found = state_->files.find(target);
    if (found != state_->files.end() && found->second->kind != FileKind::Regular) {
        if (state_->faults.Fails(FileOperation::Open)) {
            return Error::System(path, "cannot open", EIO);
        }
        return std::make_unique<MemoryFile>(state_, found->second, MemoryOutput{path, target, {}});
    }
    if (state_->faults.Fails(FileOperation::CreateTemporary)) {
        return Error::System(path, "cannot create a temporary file beside it", ENOSPC);
    }
    const std::size_t cut = target.rfind('/');
    const std::size_t nameStart = cut == std::string::npos ? 0 : cut + 1;
    std::string temporary;
    do {
        temporary = target.substr(0, nameStart) + "." + target.substr(nameStart) + ".gridport-" +
                    std::to_string(++state_->temporaries);
    } while (state_->files.count(temporary) != 0);
    auto node = std::make_shared<MemoryNode>();
    node->mode = found != state_->files.end() ? found->second->mode : 0666 & ~state_->umask;
    auto file = std::make_unique<MemoryFile>(state_, node, MemoryOutput{path, target, temporary});
    state_->files[temporary] = std::move(node);
    return file;
} catch (const std::bad_alloc&) {
    return Error(path, "out of memory");
}

bool MemoryFileSystem::SameFile(const std::string& a, const std::string& b) {
    const auto first = state_->files.find(state_->Resolve(a));
    const auto second = state_->files.find(state_->Resolve(b));
    return first != state_->files.end() && second != state_->files.end() && first->second == second->second;
}

Expected<FileStatus> MemoryFileSystem::Status(const std::string& path) {
    const std::string resolved = state_->Resolve(path);
    FileStatus status;
    if (const auto found = state_->files.find(resolved); found != state_->files.end()) {
        status.kind = found->second->kind;
        status.size = found->second->bytes.size();
        status.modified = found->second->modified;
    } else if (state_->IsFolder(resolved)) {
        status.kind = FileKind::Folder;
    } else if (resolved != path) {
        status.kind = FileKind::Link;
    }
    return status;
}

Expected<std::vector<FolderEntry>> MemoryFileSystem::List(const std::string& folder) try {
    const std::string resolved = state_->Resolve(folder);
    if (state_->unlistable.count(resolved) != 0) {
        return Error::System(folder, "cannot list the folder", EACCES);
    }
    if (!state_->IsFolder(resolved)) {
        const bool file = state_->files.count(resolved) != 0;
        return Error::System(folder, "cannot list the folder", file ? ENOTDIR : ENOENT);
    }
    const std::string below = resolved + "/";
    std::map<std::string, FileKind> names;
    const auto add = [&](const std::string& path, FileKind kind) {
        if (path.compare(0, below.size(), below) != 0 || path.size() == below.size()) {
            return;
        }
        const std::size_t slash = path.find('/', below.size());
        const std::string name = path.substr(below.size(), slash - below.size());
        names.try_emplace(name, slash == std::string::npos ? kind : FileKind::Folder);
    };
    for (const auto& [path, node] : state_->files) {
        add(path, node->kind);
    }
    for (const auto& [path, target] : state_->links) {
        add(path, FileKind::Link);
    }
    for (const std::string& path : state_->folders) {
        add(path, FileKind::Folder);
    }
    std::vector<FolderEntry> entries;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        entries.push_back({it->first, it->second});
    }
    return entries;
} catch (const std::bad_alloc&) {
    return Error(folder, "out of memory");
}

Expected<std::string> MemoryFileSystem::Identity(const std::string& path) {
    const std::string resolved = state_->Resolve(path);
    if (state_->files.count(resolved) == 0 && !state_->IsFolder(resolved)) {
        return Error::System(path, "cannot open", ENOENT);
    }
    return resolved;
}

Expected<void> MemoryFileSystem::MakeFolders(const std::string& folder) {
    const std::string resolved = state_->Resolve(folder);
    for (std::size_t cut = resolved.find('/', 1);; cut = resolved.find('/', cut + 1)) {
        const std::string part = resolved.substr(0, cut);
        if (state_->files.count(part) != 0) {
            return Error::System(folder, "cannot make the folder", ENOTDIR);
        }
        state_->folders.insert(part);
        if (cut == std::string::npos) {
            return Success();
        }
    }
}

void MemoryFileSystem::Put(const std::string& path, Bytes bytes) {
    auto node = std::make_shared<MemoryNode>();
    node->bytes = std::move(bytes);
    node->modified = ++state_->clock;
    state_->files[state_->Resolve(path)] = std::move(node);
}

void MemoryFileSystem::PutDevice(const std::string& path, FileKind kind) {
    auto node = std::make_shared<MemoryNode>();
    node->kind = kind;
    state_->files[path] = std::move(node);
}

void MemoryFileSystem::Link(const std::string& existing, const std::string& path) {
    state_->files[path] = state_->files.at(state_->Resolve(existing));
}

void MemoryFileSystem::SetMode(const std::string& path, std::uint32_t mode) {
    state_->files.at(state_->Resolve(path))->mode = mode;
}

std::uint32_t MemoryFileSystem::Mode(const std::string& path) const {
    const auto found = state_->files.find(state_->Resolve(path));
    return found == state_->files.end() ? 0 : found->second->mode;
}

Bytes MemoryFileSystem::Get(const std::string& path) const {
    const auto found = state_->files.find(state_->Resolve(path));
    return found == state_->files.end() ? Bytes{} : found->second->bytes;
}

std::vector<std::string> MemoryFileSystem::Paths() const {
    std::vector<std::string> paths;
    for (const auto& [path, node] : state_->files) {
        paths.push_back(path);
    }
    return paths;
}

MemoryFile::MemoryFile(std::shared_ptr<MemoryState> state, std::shared_ptr<MemoryNode> node, MemoryOutput output)
    : state_(std::move(state)), node_(std::move(node)), output_(std::move(output)) {
    ++state_->openFiles;
}

MemoryFile::~MemoryFile() {
    Discard();
}

void MemoryFile::Fail(const std::string& what, int errnoValue) {
    if (!failure_) {
        failure_ = Error::System(output_.name, what, errnoValue);
    }
}

void MemoryFile::Discard() {
    if (open_) {
        open_ = false;
        --state_->openFiles;
    }
    if (!output_.temporary.empty()) {
        state_->files.erase(output_.temporary);
        output_.temporary.clear();
    }
}

Expected<std::size_t> MemoryFile::Read(void* buffer, std::size_t count) {
    if (state_->faults.Fails(FileOperation::Read)) {
        return Error::System(output_.name, "cannot read", state_->faults.cause);
    }
    if (!open_) {
        return Error::System(output_.name, "cannot read", EBADF);
    }
    const Bytes& bytes = node_->bytes;
    if (position_ >= bytes.size()) {
        return std::size_t{0};
    }
    const auto available = static_cast<std::size_t>(std::min<std::uint64_t>(count, bytes.size() - position_));
    std::memcpy(buffer, bytes.data() + position_, available);
    position_ += available;
    return available;
}

Expected<void> MemoryFile::Write(const void* data, std::size_t count) try {
    if (state_->faults.Fails(FileOperation::Write) || !open_) {
        Fail("cannot write", ENOSPC);
        return Error::System(output_.name, "cannot write", ENOSPC);
    }
    Bytes& bytes = node_->bytes;
    const std::uint64_t end = position_ + count;
    if (end > bytes.max_size()) {
        throw std::bad_alloc();
    }
    if (end > bytes.size()) {
        bytes.resize(static_cast<std::size_t>(end));
    }
    if (count != 0) {  // an empty write may come with no buffer at all
        std::memcpy(bytes.data() + position_, data, count);
    }
    position_ = end;
    return Success();
} catch (const std::bad_alloc&) {
    Fail("cannot write", ENOMEM);
    return Error::System(output_.name, "cannot write", ENOMEM);
}

Expected<std::uint64_t> MemoryFile::Size() {
    if (state_->faults.Fails(FileOperation::Size) || !open_) {
        return Error::System(output_.name, "cannot tell the size", EIO);
    }
    return std::uint64_t{node_->bytes.size()};
}

Expected<std::uint64_t> MemoryFile::Tell() {
    if (state_->faults.Fails(FileOperation::Tell) || !open_) {
        return Error::System(output_.name, "cannot tell the position", EIO);
    }
    return position_;
}

Expected<void> MemoryFile::Seek(std::uint64_t position) {
    if (state_->faults.Fails(FileOperation::Seek) || !open_) {
        return Error::System(output_.name, "cannot seek", state_->faults.cause);
    }
    position_ = position;
    return Success();
}

Expected<void> MemoryFile::Commit() {
    if (!open_) {
        return Error(output_.name, "the output is closed");
    }
    open_ = false;
    --state_->openFiles;
    if (state_->faults.Fails(FileOperation::Close)) {
        Fail("cannot write", ENOSPC);
    }
    if (failure_) {
        Discard();
        return *failure_;
    }
    if (output_.temporary.empty()) {
        return Success();
    }
    if (state_->faults.Fails(FileOperation::Rename)) {
        Discard();
        return Error::System(output_.name, "cannot replace it with the new file", EACCES);
    }
    // The target's entry is made before the temporary one goes, so a want
    // of memory leaves both as they were.
    try {
        node_->modified = ++state_->clock;
        state_->files[output_.target] = node_;
    } catch (const std::bad_alloc&) {
        Discard();
        return Error::System(output_.name, "cannot replace it with the new file", ENOMEM);
    }
    state_->files.erase(output_.temporary);
    output_.temporary.clear();
    return Success();
}

}  // namespace gridport::test
