// tests/io/ept/ept_test_files.h - small tiled datasets made here, as files in memory that a test
// writes to a folder or puts on a server, and a folder in memory that counts its reads.
#pragma once

#include "io/copc/copc_key.h"
#include "io/ept/ept_metadata.h"
#include "io/resource_folder.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct MadeEptPoint {
    double x = 0, y = 0, z = 0; // multiples of 0.01
    uint16_t intensity = 0;
    uint16_t rgb[3] = {};
    // Kept in every compressed node; in binary nodes only when MadeEpt::attributes is set.
    uint8_t classification = 0, returnNumber = 1, numberOfReturns = 1;
    uint8_t classFlags = 0; // synthetic, key-point, withheld, overlap in bits 0 to 3
    uint8_t userData = 0;
    int16_t scanAngle = 0; // 0.006 degree steps
    uint16_t pointSource = 0;
    double gpsTime = 0;
};
struct MadeEptNode {
    CopcKey key;
    std::vector<MadeEptPoint> points;
};
// Nodes in the root cube [0, 64)³ of an ept.json with scale 0.01; each subtree key sends its
// part of the hierarchy to a file of its own (-1 in the file above it).
struct MadeEpt {
    EptDataType type = EptDataType::Binary;
    std::vector<MadeEptNode> nodes;
    std::vector<CopcKey> subtrees;
    double origin = 0; // added to every coordinate, and to the bounds
    // The schema names every attribute (binary records then hold them all).
    bool attributes = false;
};

// Relative path ("ept.json", "ept-hierarchy/0-0-0-0.json", "ept-data/1-0-0-0.bin") to contents.
using EptFiles = std::map<std::string, std::vector<uint8_t>>;
EptFiles makeEptFiles(const MadeEpt& made);
// A few nodes over three levels, with one subtree in its own file, colours above 255; each
// point's attributes differ from its neighbours'.
MadeEpt sampleEpt(EptDataType type);
// The binary sample with every attribute, its nodes above level 2 grown to 1000 points each
// (their own repeated): files larger than the first 16 kB a cached fetch asks for.
MadeEpt largerEpt();
std::vector<uint8_t> textBytes(const std::string& text);

// Writes the files below folder (made, with the subfolders); false on failure.
bool writeEptFiles(const std::string& folder, const EptFiles& files);
// A folder name of this test process's own, removed with all it holds when this goes.
struct ScratchFolder {
    explicit ScratchFolder(const std::string& name);
    ~ScratchFolder();
    std::string path;
};

// The files in memory as a folder, counting each file's reads.
class MemoryFolder : public ResourceFolder {
public:
    explicit MemoryFolder(EptFiles files) : files_(std::move(files)) {}
    std::string locate(const std::string& relative) const override { return "mem/" + relative; }
    bool readWhole(const std::string& relative, std::vector<uint8_t>& out,
                   std::string& error) override;
    std::map<std::string, int> reads;

private:
    EptFiles files_;
};
