#include "batch/MapFinder.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <unordered_map>

#include "base/Text.h"
#include "filesystem/FileSystem.h"

namespace gridport::batch {

namespace {

constexpr std::string_view kMapEnding = ".map";

// The output's file name for a map named name: NAME.rmp for NAME.map, else name with ".rmp" added.
// A map's output name: NAME.rmp, or another ending.
std::string RmpName(const std::string& name, std::string_view ending = ".rmp") {
    return (IsMapName(name) ? name.substr(0, name.size() - kMapEnding.size()) : name) + std::string(ending);
}

// folder ready for a name to be appended as JoinPath joins it ("" stays "").
std::string Prefix(const std::string& folder) {
    return JoinPath(folder, "");
}

// The folder a map's output goes to: OUTPUT, joined with the map's relative folder ("" or ending in '/').
std::string OutputFolder(const std::string& output, const std::string& relativeFolder) {
    if (relativeFolder.empty()) {
        return output;
    }
    std::string part = relativeFolder;
    if (kJoin != '/') {
        std::replace(part.begin(), part.end(), '/', kJoin);
    }
    return JoinPath(output, part);
}

// Two strings, each read as if joined: head then tail.
struct Joined {
    std::string_view head;
    std::string_view tail;

    std::size_t size() const { return head.size() + tail.size(); }
    unsigned char operator[](std::size_t i) const {
        return static_cast<unsigned char>(i < head.size() ? head[i] : tail[i - head.size()]);
    }
};

// Whether a sorts before b as std::string compares them (bytes as unsigned).
bool Less(const Joined& a, const Joined& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (a[i] != b[i]) {
            return a[i] < b[i];
        }
    }
    return a.size() < b.size();
}

class Walk {
public:
    Walk(FileSystem& files, const std::string& source, const std::string& output, FoundMaps& found)
        : files_(files), output_(output), found_(found) {
        // An output folder below the source holds no inputs: it counts as walked already. The source itself as the
        // output is converted in place, each RMP file beside its map (an output, NAME.rmp, is never a map).
        Expected<std::string> identity = files_.Identity(output);
        const Expected<std::string> sourceIdentity = files_.Identity(source);
        if (identity && !(sourceIdentity && *sourceIdentity == *identity)) {
            visited_.insert(std::move(*identity));
        }
    }

    // folder is the path to list (source joined with relative), relative '/'-separated and "" at the top.
    void Folder(const std::string& folder, const std::string& relative) {
        Expected<std::string> identity = files_.Identity(folder);
        if (!identity) {
            found_.unreadable.push_back(identity.error());
            return;
        }
        // A folder reached again through a link (a loop among them) is walked once.
        if (!visited_.insert(std::move(*identity)).second) {
            return;
        }
        std::vector<std::string> subfolders;
        {
            // The listing is let go before the walk goes down into the subfolders.
            Expected<std::vector<FolderEntry>> entries = files_.List(folder);
            if (!entries) {
                found_.unreadable.push_back(entries.error());
                return;
            }
            bool started = false;
            for (const FolderEntry& entry : *entries) {
                // Through links: a link to a folder is walked, a link to a map converted.
                FileKind kind = entry.kind;
                if (kind == FileKind::Link) {
                    const Expected<FileStatus> status = files_.Status(JoinPath(folder, entry.name));
                    kind = status ? status->kind : FileKind::Other;
                }
                if (kind == FileKind::Folder) {
                    subfolders.push_back(entry.name);
                } else if (IsMapName(entry.name)) {
                    if (!started) {
                        found_.maps.StartFolder(folder, relative, OutputFolder(output_, relative));
                        started = true;
                    }
                    found_.maps.Add(entry.name);
                }
            }
        }
        for (const std::string& name : subfolders) {
            Folder(JoinPath(folder, name), relative + name + "/");
        }
    }

private:
    FileSystem& files_;
    const std::string& output_;
    FoundMaps& found_;
    std::set<std::string> visited_;
};

}  // namespace

MapList::MapList(const std::vector<MapEntry>& entries) {
    for (const MapEntry& entry : entries) {
        Add(entry);
    }
}

MapEntry MapList::operator[](std::size_t index) const {
    return {Map(index), Relative(index), Output(index), SameOutputAs(index)};
}

std::string MapList::Map(std::size_t index) const {
    const Item& item = maps_[index];
    return folders_[item.folder].map + item.name;
}

std::string MapList::Relative(std::size_t index) const {
    const Item& item = maps_[index];
    return folders_[item.folder].relative + item.name;
}

std::string MapList::Output(std::size_t index) const {
    const Item& item = maps_[index];
    const Folder& folder = folders_[item.folder];
    if (!folder.whole) {
        return folder.output + RmpName(item.name, ending_);
    }
    // A map given whole keeps its output's name, in the outputs' ending.
    std::string output = folder.output;
    if (output.ends_with(".rmp")) {
        output.replace(output.size() - 4, 4, ending_);
    }
    return output;
}

std::optional<std::string> MapList::SameOutputAs(std::size_t index) const {
    const auto found = sameOutputAs_.find(index);
    if (found == sameOutputAs_.end()) {
        return std::nullopt;
    }
    return found->second;
}

void MapList::StartFolder(const std::string& folder, const std::string& relative, const std::string& outputFolder) {
    folders_.push_back({Prefix(folder), relative, Prefix(outputFolder), false});
}

void MapList::Add(const std::string& name) {
    maps_.push_back({static_cast<std::uint32_t>(folders_.size() - 1), name});
}

void MapList::Add(const MapEntry& entry) {
    if (entry.sameOutputAs) {
        sameOutputAs_.emplace(maps_.size(), *entry.sameOutputAs);
    }
    folders_.push_back({entry.map, entry.relative, entry.output, true});
    Add(std::string());
}

void MapList::Finish() {
    SortByRelative();
    MarkSameOutputs();
    folders_.shrink_to_fit();
    maps_.shrink_to_fit();
}

void MapList::SortByRelative() {
    std::sort(maps_.begin(), maps_.end(), [this](const Item& a, const Item& b) {
        if (a.folder == b.folder) {
            return a.name < b.name;
        }
        return Less({folders_[a.folder].relative, a.name}, {folders_[b.folder].relative, b.name});
    });
}

void MapList::MarkSameOutputs() {
    // Outputs by hash (where names ignore letter case, "A.rmp" is "a.rmp"), each clash then checked by its text.
    const auto key = [this](std::size_t index) {
        return kNamesIgnoreCase ? LowerCaseKey(Output(index)) : Output(index);
    };
    std::unordered_multimap<std::size_t, std::size_t> outputs;
    outputs.reserve(maps_.size());
    for (std::size_t i = 0; i < maps_.size(); ++i) {
        const std::string output = key(i);
        const std::size_t hash = std::hash<std::string>{}(output);
        const auto [first, last] = outputs.equal_range(hash);
        const auto earlier = std::find_if(first, last, [&](const auto& item) { return key(item.second) == output; });
        if (earlier != last) {
            sameOutputAs_.emplace(i, Map(earlier->second));
        } else {
            outputs.emplace(hash, i);
        }
    }
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    const char last = folder.back();
    return last == '/' || last == '\\' ? folder + name : folder + kJoin + name;
}

bool IsMapName(const std::string& name) {
    return name.size() > kMapEnding.size() && EndsWithIgnoringCase(name, kMapEnding);
}

std::string OutputName(const MapEntry& entry) {
    // The output's own ending: .rmp, or .tmj for a Tiled map.
    const std::string& name = entry.relative;
    const std::string_view ending = std::string_view(entry.output).ends_with(".tmj") ? ".tmj" : ".rmp";
    return (IsMapName(name) ? name.substr(0, name.size() - kMapEnding.size()) : name) + std::string(ending);
}

Expected<FoundMaps> FindMaps(FileSystem& files, const std::string& source, const std::string& output) {
    FoundMaps found;
    const Expected<FileStatus> status = files.Status(source);
    if (!status) {
        return status.error();
    }
    if (status->kind == FileKind::Missing || status->kind == FileKind::Link) {
        return RequireRegular(source, *status).error();
    }
    if (status->kind != FileKind::Folder) {
        // A file named as SOURCE is converted whatever its name ends in.
        const std::string name = source.substr(FileNameStart(source));
        found.maps.Add({source, name, JoinPath(output, RmpName(name)), {}});
        return found;
    }
    Walk(files, source, output, found).Folder(source, "");
    found.maps.Finish();
    return found;
}

}  // namespace gridport::batch
