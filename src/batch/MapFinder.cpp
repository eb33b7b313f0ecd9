#include "batch/MapFinder.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <unordered_map>

#include "filesystem/ExactName.h"

namespace gridport::batch {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMapEnding = ".map";

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    const char last = folder.back();
    return last == '/' || last == '\\' ? folder + name : folder + kJoin + name;
}

// The name's form for joining: the system's own names as bytes.
std::string NameOf(const fs::path& path) {
    return path.filename().string();
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
    Walk(const std::string& output, FoundMaps& found) : output_(output), found_(found) {
        std::error_code error;
        const fs::path outputFolder = fs::weakly_canonical(fs::path(output), error);
        if (!error) {
            outputCanonical_ = outputFolder;
        }
    }

    // folder is the path to list (source joined with relative), relative
    // '/'-separated and "" at the top.
    void Folder(const std::string& folder, const std::string& relative) {
        std::error_code error;
        const fs::path canonical = fs::canonical(fs::path(folder), error);
        if (error) {
            found_.unreadable.push_back(Error::System(folder, "cannot list the folder", error.value()));
            return;
        }
        // The output folder holds no inputs, and a folder reached again
        // through a link (a loop among them) is walked once.
        if ((!outputCanonical_.empty() && canonical == outputCanonical_) || !visited_.insert(canonical).second) {
            return;
        }
        fs::directory_iterator entries(fs::path(folder), error);
        if (error) {
            found_.unreadable.push_back(Error::System(folder, "cannot list the folder", error.value()));
            return;
        }
        std::vector<std::string> subfolders;
        for (; entries != fs::directory_iterator(); entries.increment(error)) {
            const fs::directory_entry& entry = *entries;
            const std::string name = NameOf(entry.path());
            std::error_code statusError;
            // Through links: a link to a folder is walked, a link to a map converted.
            if (entry.is_directory(statusError)) {
                subfolders.push_back(name);
            } else if (IsMapName(name)) {
                found_.maps.push_back({Join(folder, name), relative + name, OutputFor(output_, relative, name), {}});
            }
        }
        if (error) {
            found_.unreadable.push_back(Error::System(folder, "cannot list the folder", error.value()));
        }
        for (const std::string& name : subfolders) {
            Folder(Join(folder, name), relative + name + "/");
        }
    }

private:
    const std::string& output_;
    FoundMaps& found_;
    fs::path outputCanonical_;
    std::set<fs::path> visited_;
};

}  // namespace

bool IsMapName(const std::string& name) {
    return name.size() > kMapEnding.size() &&
           SameIgnoringCase(std::string_view(name).substr(name.size() - kMapEnding.size()), kMapEnding);
}

Expected<FoundMaps> FindMaps(const std::string& source, const std::string& output) {
    FoundMaps found;
    std::error_code error;
    const fs::file_status status = fs::status(fs::path(source), error);
    if (error || !fs::exists(status)) {
        return Error::System(source, "cannot open", error ? error.value() : ENOENT);
    }
    if (!fs::is_directory(status)) {
        // A file named as SOURCE is converted whatever its name ends in.
        const std::string name = NameOf(fs::path(source));
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
