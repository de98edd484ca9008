// io/resource_folder.cpp - a local folder whose files are read whole through openLocalFile.
#include "io/resource_folder.h"

#include "io/byte_source.h"

#include <new>

namespace {

class LocalFolder : public ResourceFolder {
public:
    explicit LocalFolder(const std::string& path) : path_(path.empty() ? "." : path) {}

    std::string locate(const std::string& relative) const override {
        return path_ == "." ? relative : path_ + "/" + relative;
    }

    bool readWhole(const std::string& relative, std::vector<uint8_t>& out,
                   std::string& error) override {
        const std::string path = locate(relative);
        std::unique_ptr<ByteSource> file = openLocalFile(path, error);
        if (!file)
            return false;
        if (!file->read(0, file->size(), out, error)) {
            error = path + ": " + error;
            return false;
        }
        return true;
    }

private:
    std::string path_;
};

} // namespace

void ResourceFolder::readMany(std::vector<WholeFile>& files) {
    for (WholeFile& file : files) {
        file.error.clear();
        file.ok = readWhole(file.relative, file.bytes, file.error);
    }
}

std::unique_ptr<ResourceFolder> openLocalFolder(const std::string& path) {
    return std::unique_ptr<ResourceFolder>(new (std::nothrow) LocalFolder(path));
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string leafOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
