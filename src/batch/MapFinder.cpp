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

std::string OutputFor(const std::string& output, const std::string& relativeFolder, const std::string& name) {
    const std::string stem = name.substr(0, name.size() - kMapEnding.size());
    std::string folder = output;
    if (!relativeFolder.empty()) {
        std::string part = relativeFolder;
        if (kJoin != '/') {
            std::replace(part.begin(), part.end(), '/', kJoin);
        }
        folder = JoinPath(folder, part);
    }
    return JoinPath(folder, stem + ".rmp");
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
        Expected<std::vector<FolderEntry>> entries = files_.List(folder);
        if (!entries) {
            found_.unreadable.push_back(entries.error());
            return;
        }
        std::vector<std::string> subfolders;
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
                found_.maps.push_back(
                    {JoinPath(folder, entry.name), relative + entry.name, OutputFor(output_, relative, entry.name), {}});
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
        const std::string stem = IsMapName(name) ? name.substr(0, name.size() - kMapEnding.size()) : name;
        found.maps.push_back({source, name, JoinPath(output, stem + ".rmp"), {}});
        return found;
    }
    Walk(files, source, output, found).Folder(source, "");
    std::sort(found.maps.begin(), found.maps.end(),
              [](const MapEntry& a, const MapEntry& b) { return a.relative < b.relative; });
    std::unordered_map<std::string, const MapEntry*> outputs;  // Where names ignore letter case, "A.rmp" is "a.rmp".
    for (MapEntry& entry : found.maps) {
        const auto [it, added] = outputs.emplace(kNamesIgnoreCase ? LowerCaseKey(entry.output) : entry.output, &entry);
        if (!added) {
            entry.sameOutputAs = it->second->map;
        }
    }
    return found;
}

}  // namespace gridport::batch
