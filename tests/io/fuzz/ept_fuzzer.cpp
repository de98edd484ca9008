// tests/io/fuzz/ept_fuzzer.cpp - arbitrary bytes as a whole tiled dataset: ept.json, the root
// hierarchy file, a subtree's file and two node files, split where "|||" stands (the seeds in
// tests/io/ept/corpus are such datasets), read through a folder in memory. Any crash, overflow
// or undefined behaviour stops the run; so does a result that claims more points than it holds.
#include "io/ept/ept_reader.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

class FuzzFolder : public ResourceFolder {
public:
    explicit FuzzFolder(std::map<std::string, std::vector<uint8_t>> files)
        : files_(std::move(files)) {}
    std::string locate(const std::string& relative) const override { return relative; }
    bool readWhole(const std::string& relative, std::vector<uint8_t>& out,
                   std::string& error) override {
        const auto found = files_.find(relative);
        if (found == files_.end()) {
            error = relative + ": missing";
            return false;
        }
        out = found->second;
        return true;
    }

private:
    std::map<std::string, std::vector<uint8_t>> files_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* kNames[] = {"ept.json", "ept-hierarchy/0-0-0-0.json",
                                   "ept-hierarchy/1-0-0-0.json", "ept-data/0-0-0-0",
                                   "ept-data/1-0-0-0"};
    std::vector<std::vector<uint8_t>> parts(1);
    for (size_t i = 0; i < size; ++i) {
        if (i + 3 <= size && std::memcmp(data + i, "|||", 3) == 0 && parts.size() < 5) {
            parts.emplace_back();
            i += 2;
            continue;
        }
        parts.back().push_back(data[i]);
    }
    std::map<std::string, std::vector<uint8_t>> files;
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string name = kNames[i];
        // The node files serve either data type.
        if (i >= 3) {
            files[name + ".laz"] = parts[i];
            name += ".bin";
        }
        files[name] = parts[i];
    }
    std::string error;
    std::unique_ptr<EptDataset> dataset =
        EptDataset::open(std::make_unique<FuzzFolder>(std::move(files)), error);
    if (!dataset)
        return 0;
    ReadRequest request;
    request.path = "fuzz/ept.json";
    request.threads = size & 1 ? 2 : 1;
    ReadResult result = readEptDataset(*dataset, request);
    if (result.status == ReadStatus::Read &&
        (result.count < 0 || (result.count > 0 && !result.points)))
        std::abort();
    releasePoints(result.points);
    return 0;
}
