#include "convert/Pairing.h"

#include <algorithm>
#include <optional>

#include "filesystem/FileSystem.h"
#include "filesystem/ExactName.h"

namespace gridport {

namespace {

std::vector<std::string> StoredParts(const std::string& stored) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : stored) {
        if (c == '\\' || c == '/') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    // Windows ignores a name's trailing dots and spaces: "T.VSP." is "T.VSP".
    for (std::string& p : parts) {
        if (p != "." && p != "..") {
            p.erase(p.find_last_not_of(". ") + 1);
        }
    }
    // "C:\TILES\A.VSP", "\TILES\A.VSP", "C:A.VSP" (in drive C's working folder): another machine's folders; only
    // the file name means anything here.
    const bool drive = stored.size() >= 2 && stored[1] == ':';
    if (drive && parts.size() == 1) {
        return {parts.back().substr(std::min<std::size_t>(2, parts.back().size()))};
    }
    if (drive || stored.front() == '\\' || stored.front() == '/') {
        return {parts.back()};
    }
    std::vector<std::string> kept;
    for (std::string& p : parts) {
        if (!p.empty() && p != ".") {
            kept.push_back(std::move(p));
        }
    }
    return kept;
}

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') {
        folder += kFolderJoin;
    }
    return folder;
}

// Where folder + parts leads, case ignored: the path, nothing if a part is missing, or an error for a case clash.
Expected<std::optional<std::string>> Resolve(std::string folder, const std::vector<std::string>& parts,
                                             FolderCache& cache, const std::string& mapPath) {
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        if (parts[i] == "..") {
            folder += std::string("..") + kFolderJoin;
            continue;
        }
        Expected<const FolderListing*> listing = cache.ListingOf(folder + parts[i]);
        if (!listing || !(*listing)->Listed()) {
            return std::optional<std::string>();
        }
        const std::vector<std::string_view> matches = (*listing)->Matches(parts[i]);
        if (matches.empty()) {
            return std::optional<std::string>();
        }
        if (matches.size() > 1) {
            return Error(mapPath, "the tileset name stored in the map, \"" + parts[i] + "\", matches both " +
                                      folder + std::string(matches[0]) + " and " + folder + std::string(matches[1]) +
                                      ", which differ only in letter case");
        }
        folder += std::string(matches[0]);
        if (!last) {
            folder += kFolderJoin;
        }
    }
    return std::optional<std::string>(folder);
}

}  // namespace

Expected<std::string> FindTileset(const std::string& mapPath, const std::string& storedName,
                                  const std::vector<std::string>& folders, FolderCache& cache) {
    if (storedName.empty()) {
        return Error(mapPath, "the map stores no tileset name");
    }
    const std::vector<std::string> parts = StoredParts(storedName);
    if (parts.empty() || parts.back() == "..") {
        return Error(mapPath, "the tileset name stored in the map, \"" + storedName + "\", names no file");
    }
    const std::string mapFolder = mapPath.substr(0, ExactNameStart(mapPath));
    std::vector<std::string> roots{mapFolder};
    for (const std::string& folder : folders) {
        roots.push_back(WithSeparator(folder));
    }
    std::string searched;
    for (const std::string& root : roots) {
        Expected<std::optional<std::string>> found = Resolve(root, parts, cache, mapPath);
        if (!found) {
            return found.error();
        }
        if (*found) {
            return **found;
        }
        searched += (searched.empty() ? "" : ", ") + (root.empty() ? std::string(".") : root);
    }
    return Error(mapPath, "the tileset \"" + storedName + "\" stored in the map is in none of the folders " + searched);
}

}  // namespace gridport
