#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/Error.h"
#include "filesystem/FileSystem.h"

namespace gridport::batch {

// The separator that joins a folder and a name in the paths the batch makes.
inline constexpr char kJoin = kFolderJoin;

// One map: its path (SOURCE joined with the relative path) and its output (OUTPUT/relative folder/NAME.rmp).
struct MapEntry {
    std::string map;
    std::string relative;  // from SOURCE, '/'-separated: how reports sort and name it
    std::string output;
    // An earlier map with the same output ("a.map" and "a.MAP"), if any: this one then fails rather than overwrite.
    std::optional<std::string> sameOutputAs;
};

// The maps of a batch, held compactly: each folder's paths once, and per map its file name. A MapEntry is made on
// demand. A walk of 100,000 maps in a few hundred folders so keeps some 40 bytes a map rather than its three paths.
class MapList {
public:
    MapList() = default;
    // Maps given whole, each as it is, in that order.
    MapList(const std::vector<MapEntry>& entries);  // a list of entries stands for one
    MapList(std::initializer_list<MapEntry> entries) : MapList(std::vector<MapEntry>(entries)) {}

    std::size_t size() const { return maps_.size(); }
    bool empty() const { return maps_.empty(); }
    MapEntry operator[](std::size_t index) const;

    std::string Map(std::size_t index) const;
    std::string Relative(std::size_t index) const;
    std::string Output(std::size_t index) const;
    // The map whose output this one's is too, if any.
    std::optional<std::string> SameOutputAs(std::size_t index) const;
    // The outputs' ending from here on: ".rmp" unless set (".tmj" for Tiled maps).
    void SetOutputEnding(std::string_view ending) { ending_ = ending; }

    // Maps in one folder from here on: the folder (joined with names as JoinPath does), its path relative to SOURCE
    // ('/'-separated, "" or ending in '/'), and the folder their outputs go to.
    void StartFolder(const std::string& folder, const std::string& relative, const std::string& outputFolder);
    // A map named name in the folder last started; its output is NAME.rmp in the output folder.
    void Add(const std::string& name);
    void Add(const MapEntry& entry);  // a map given whole
    // Sorted by relative path, each map whose output an earlier one has (up to letter case where names ignore it)
    // marked; the storage trimmed to fit.
    void Finish();

    class Iterator {
    public:
        Iterator(const MapList& list, std::size_t index) : list_(&list), index_(index) {}
        MapEntry operator*() const { return (*list_)[index_]; }
        Iterator& operator++() {
            ++index_;
            return *this;
        }
        bool operator==(const Iterator& other) const { return index_ == other.index_; }

    private:
        const MapList* list_;
        std::size_t index_;
    };
    Iterator begin() const { return {*this, 0}; }
    Iterator end() const { return {*this, size()}; }

private:
    // A folder's paths, each ready for a name to be appended; or, given whole, one map's own three paths.
    struct Folder {
        std::string map;
        std::string relative;
        std::string output;
        bool whole = false;
    };
    struct Item {
        std::uint32_t folder;
        std::string name;  // "" for a map given whole
    };

    void SortByRelative();
    void MarkSameOutputs();

    std::vector<Folder> folders_;
    std::vector<Item> maps_;
    std::string ending_ = ".rmp";
    // The few maps whose output an earlier map has: index to that map's path.
    std::unordered_map<std::size_t, std::string> sameOutputAs_;
};

struct FoundMaps {
    MapList maps;
    // Folders below SOURCE that couldn't be listed: each is a failure, and the walk goes on without it.
    std::vector<Error> unreadable;
};

bool IsMapName(const std::string& name);  // Whether name ends in ".map", in any letter case.

// The output's path below OUTPUT, '/'-separated, with the output's ending: how the build log names it.
std::string OutputName(const MapEntry& entry);

// folder and name joined with the batch's separator (none after a folder that ends in one; name alone for no folder).
std::string JoinPath(const std::string& folder, const std::string& name);

// Every map under source (a folder, walked through symbolic links but never into a folder twice nor into the output
// folder unless it is source itself: then each output goes beside its map), or source alone if not a folder; sorted by
// relative path. A map is any entry named "*.map" in any case,
// whatever its kind: a non-regular one fails when opened. Fails when source is missing or can't be looked at.
Expected<FoundMaps> FindMaps(FileSystem& files, const std::string& source, const std::string& output);

}  // namespace gridport::batch
