// io/resource_folder.h - a folder of files each read whole, on disk or under a base URL: the
// datasets made of many small files (EPT) read through it, whichever the place.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Files below one place, named by paths relative to it ("ept-data/0-0-0-0.laz"). readWhole may
// be called from several threads at once.
class ResourceFolder {
public:
    virtual ~ResourceFolder() = default;
    // What relative is called in messages: the file's path or URL.
    virtual std::string locate(const std::string& relative) const = 0;
    // The whole file into out; false with one line naming the file and saying why.
    virtual bool readWhole(const std::string& relative, std::vector<uint8_t>& out,
                           std::string& error) = 0;

    // One file of a readMany, and how its read went.
    struct WholeFile {
        std::string relative;
        bool ok = false;
        std::vector<uint8_t> bytes;
        std::string error;
    };
    // Several files, all at once where the place allows (over HTTP, several requests in flight);
    // here one after another.
    virtual void readMany(std::vector<WholeFile>& files);
};

// The folder at path on this machine ("." when empty).
std::unique_ptr<ResourceFolder> openLocalFolder(const std::string& path);

// The folder holding the file at path: "data/ept" for "data/ept/ept.json", "." for "ept.json".
std::string folderOf(const std::string& path);
// The last part of a path or URL: "ept.json" for "data/ept/ept.json".
std::string leafOf(const std::string& path);
