#include "batch/MapFinder.h"

#include <algorithm>
#include <set>
#include <unordered_map>

#include "batch/FolderTree.h"
#include "filesystem/ExactName.h"

namespace gridport::batch {

namespace {

constexpr std::string_view kMapEnding = ".map";

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    const char last = folder.back();
    return last == '/' || last == '\\' ? folder + name : folder + kJoin + name;
}

std::string OutputFor(const std::string& output, const std::string& relativeFolder, const std::string& name) {
    const std::string stem = name.substr(0, name.size() - kMapEnding.size());
    std::string folder = output;
    if (!relativeFolder.empty()) {
        std::string part = relativeFolder;
        if (kJoin != '/') {
            std::replace(part.begin(), part.end(), '/', kJoin);
        }
        folder = Join(folder, part);
    }
    return Join(folder, stem + ".rmp");
}

class Walk {
public:
    Walk(const std::string& output, FoundMaps& found)
        : output_(output), found_(found), outputCanonical_(FutureFolderIdentity(output)) {}

    // folder is the path to list (source joined with relative), relative
    // '/'-separated and "" at the top.
    void Folder(const std::string& folder, const std::string& relative) {
        Expected<std::string> canonical = FolderIdentity(folder);
        if (!canonical) {
            found_.unreadable.push_back(canonical.error());
            return;
        }
        // The output folder holds no inputs, and a folder reached again
        // through a link (a loop among them) is walked once.
        if ((!outputCanonical_.empty() && *canonical == outputCanonical_) || !visited_.insert(*canonical).second) {
            return;
        }
        Expected<FolderItems> entries = ListFolder(folder);
        if (!entries) {
            found_.unreadable.push_back(entries.error());
            return;
        }
        std::vector<std::string> subfolders;
        for (const FolderItem& entry : entries->items) {
            // Through links: a link to a folder is walked, a link to a map converted.
            if (entry.folder) {
                subfolders.push_back(entry.name);
            } else if (IsMapName(entry.name)) {
                found_.maps.push_back(
                    {Join(folder, entry.name), relative + entry.name, OutputFor(output_, relative, entry.name), {}});
            }
        }
        if (entries->stopped) {
            found_.unreadable.push_back(*entries->stopped);
        }
        for (const std::string& name : subfolders) {
            Folder(Join(folder, name), relative + name + "/");
        }
    }

private:
    const std::string& output_;
    FoundMaps& found_;
    std::string outputCanonical_;
    std::set<std::string> visited_;
};

}  // namespace

bool IsMapName(const std::string& name) {
    return name.size() > kMapEnding.size() && EndsWithIgnoringCase(name, kMapEnding);
}

Expected<FoundMaps> FindMaps(const std::string& source, const std::string& output) {
    FoundMaps found;
    const Expected<bool> isFolder = IsFolder(source);
    if (!isFolder) {
        return isFolder.error();
    }
    if (!*isFolder) {
        // A file named as SOURCE is converted whatever its name ends in.
        const std::string name = FileNameOf(source);
        const std::string stem = IsMapName(name) ? name.substr(0, name.size() - kMapEnding.size()) : name;
        found.maps.push_back({source, name, Join(output, stem + ".rmp"), {}});
        return found;
    }
    Walk(output, found).Folder(source, "");
    std::sort(found.maps.begin(), found.maps.end(),
              [](const MapEntry& a, const MapEntry& b) { return a.relative < b.relative; });
    // Windows' folders ignore letter case: there "A.rmp" is "a.rmp".
    std::unordered_map<std::string, const MapEntry*> outputs;
    for (MapEntry& entry : found.maps) {
#ifdef _WIN32
        std::string key = LowerCaseKey(entry.output);
#else
        const std::string& key = entry.output;
#endif
        const auto [it, added] = outputs.emplace(key, &entry);
        if (!added) {
            entry.sameOutputAs = it->second->map;
        }
    }
    return found;
}

}  // namespace gridport::batch
