// tests/net/remote_viewer_test.cpp - the viewer on URLs served by a real lighttpd on the
// loopback address, and by a peer that misbehaves on cue: the same screenshot as the local
// copy, a zoomed-out view fetching a small share of a larger file, each failure as one line
// (at the open: the whole URL; in a node: that node alone), and what --cache keeps: ranges,
// files fetched whole and a dataset's files.
#include "io/byte_order.h"
#include "tests/io/copc/copc_test_files.h"
#include "tests/io/ept/ept_test_files.h"
#include "tests/support/http_test_peer.h"
#include "tests/support/polling.h"
#include "tests/support/program.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/static_http_server.h"
#include "viewer/camera.h"
#include "viewer/remote_cloud.h"
#include "viewer/viewer_state.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The picture's RGB bytes; empty when it cannot be read.
std::vector<uint8_t> readPng(const std::string& path) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        return {};
    return rgb;
}

size_t differingPixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size())
        return SIZE_MAX;
    size_t differing = 0;
    for (size_t p = 0; p + 2 < a.size(); p += 3)
        differing += std::memcmp(&a[p], &b[p], 3) != 0;
    return differing;
}

// The viewer's screenshot of place; the PNG is left at png.
ProcessResult screenshot(const std::string& place, const std::string& png,
                         std::vector<std::string> options = {}) {
    std::vector<std::string> command = {POINTILLIST_EXE, "--screenshot", png};
    command.insert(command.end(), options.begin(), options.end());
    command.push_back(place);
    return runProgram(command);
}

// Where node key's chunk starts in a file made with its index in one page.
int64_t chunkOffset(const std::vector<uint8_t>& file, const CopcKey& key) {
    const size_t at = findEntry(file, rootPageOffset(file), rootPageSize(file), key);
    return at ? int64_t(loadLittle<uint64_t>(file.data() + at + 16)) : -1;
}

// Ranges asked of one path, each [first, last], and whether any came twice.
struct RangesAsked {
    int64_t bytes = 0;
    size_t requests = 0;
    bool repeated = false;
};
RangesAsked rangesOf(const std::vector<AccessLogEntry>& log, const std::string& path) {
    RangesAsked asked;
    std::map<std::pair<int64_t, int64_t>, int> seen;
    for (const AccessLogEntry& entry : log) {
        if (entry.path != path)
            continue;
        ++asked.requests;
        asked.bytes += entry.bytes;
        asked.repeated |= ++seen[{entry.rangeFirst, entry.rangeLast}] > 1;
    }
    return asked;
}

// A small octree file on disk and on the server. Every node holds one point, so a lost node
// is one pixel. kStreamedMemory holds a few points fewer than the file's 585: it is streamed.
const char* const kStreamedMemory = "14000";

class RemoteViewer : public ::testing::Test {
protected:
    void SetUp() override {
        octree = makeOctreeFile(fullOctree(3));
        local = writeScratchFile("tree.copc.laz", octree);
        std::string error;
        ASSERT_TRUE(server.start(error)) << error;
        ASSERT_TRUE(server.put("tree.copc.laz", octree));
    }
    // The local copy's picture, streamed.
    std::vector<uint8_t> localPicture() {
        const std::string png = scratchDir() + "local.png";
        const ProcessResult result = screenshot(local, png, {"--memory", kStreamedMemory});
        EXPECT_EQ(result.status, 0) << result.ending();
        return readPng(png);
    }

    std::vector<uint8_t> octree;
    std::string local;
    StaticHttpServer server;
};

} // namespace

TEST_F(RemoteViewer, SameScreenshotAsTheLocalCopyStreamedOrReadWhole) {
    const std::string plainLaz = "laz/lazperf_point-color.las.laz";
    ASSERT_TRUE(
        server.put(plainLaz, fileBytes(std::string(POINTILLIST_TEST_DATA_DIR) + "/" + plainLaz)));
    struct Row {
        std::string local, path, memory;
    };
    const std::vector<Row> rows = {
        {local, "tree.copc.laz", kStreamedMemory}, // streamed by nodes
        {local, "tree.copc.laz", "1G"},            // small enough to read whole, by ranges
        {std::string(POINTILLIST_TEST_DATA_DIR) + "/" + plainLaz, plainLaz, "1G"}, // whole
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path + " --memory " + row.memory);
        const std::string onDisk = scratchDir() + "disk.png", remote = scratchDir() + "url.png";
        const ProcessResult fromDisk = screenshot(row.local, onDisk, {"--memory", row.memory});
        const ProcessResult fromUrl =
            screenshot(server.url(row.path), remote, {"--memory", row.memory});
        ASSERT_EQ(fromDisk.status, 0) << fromDisk.ending();
        ASSERT_EQ(fromUrl.status, 0) << fromUrl.ending();
        EXPECT_EQ(fromUrl.err, "");
        const std::vector<uint8_t> picture = readPng(remote);
        ASSERT_FALSE(picture.empty());
        EXPECT_EQ(picture, readPng(onDisk));
    }
    // The streamed run: ranges only, none asked twice.
    server.stop();
    const std::vector<AccessLogEntry> log = server.accessLog();
    ASSERT_FALSE(log.empty());
    size_t streamedRun = 0;
    while (streamedRun < log.size() && log[streamedRun].path == "/tree.copc.laz" &&
           (streamedRun == 0 || log[streamedRun].rangeFirst != 0))
        ++streamedRun;
    const RangesAsked streamed =
        rangesOf(std::vector<AccessLogEntry>(log.begin(), log.begin() + long(streamedRun)),
                 "/tree.copc.laz");
    EXPECT_GT(streamed.requests, 3u) << "the head, the index and nodes";
    EXPECT_FALSE(streamed.repeated);
    for (size_t i = 0; i < streamedRun; ++i)
        EXPECT_GE(log[i].rangeFirst, 0) << "request " << i << " asked for the whole file";
}

// A URL in a scene is streamed by ranges beside a local file, as a local copy of it would be:
// the same picture, and never the whole file asked for.
TEST_F(RemoteViewer, SceneStreamsItsUrlByRanges) {
    const std::string copy = writeScratchFile("tree-copy.copc.laz", octree);
    const std::string onDisk = scratchDir() + "scene-disk.png";
    const std::string remote = scratchDir() + "scene-url.png";
    const ProcessResult fromDisk = runProgram(
        {POINTILLIST_EXE, "--memory", kStreamedMemory, "--screenshot", onDisk, copy, local});
    const ProcessResult fromUrl =
        runProgram({POINTILLIST_EXE, "--memory", kStreamedMemory, "--screenshot", remote,
                    server.url("tree.copc.laz"), local});
    ASSERT_EQ(fromDisk.status, 0) << fromDisk.ending();
    ASSERT_EQ(fromUrl.status, 0) << fromUrl.ending();
    EXPECT_EQ(fromUrl.err, "");
    const std::vector<uint8_t> picture = readPng(remote);
    ASSERT_FALSE(picture.empty());
    EXPECT_EQ(picture, readPng(onDisk));
    server.stop();
    const std::vector<AccessLogEntry> log = server.accessLog();
    const RangesAsked asked = rangesOf(log, "/tree.copc.laz");
    EXPECT_GT(asked.requests, 3u) << "the head, the index and nodes";
    for (const AccessLogEntry& entry : log)
        EXPECT_GE(entry.rangeFirst, 0) << "the whole file was asked for";
}

// Behind a server that takes a while to answer each request, chunks are asked for several at a
// time on connections that are kept and reused.
TEST_F(RemoteViewer, NodesAreFetchedSeveralAtOnceOnReusedConnections) {
    PeerBehaviour slow;
    slow.delayMs = 50;
    HttpTestPeer peer(octree, slow);
    std::string error;
    ASSERT_TRUE(peer.start(error)) << error;
    const std::string png = scratchDir() + "slow.png";
    const ProcessResult result = screenshot(peer.url(), png, {"--memory", kStreamedMemory});
    ASSERT_EQ(result.status, 0) << result.ending();
    EXPECT_EQ(readPng(png), localPicture());
    EXPECT_GE(peer.mostAtOnce(), 4) << "more than the two cores' decoders";
    EXPECT_LE(peer.connections(), 8);
    EXPECT_GT(peer.requests(), 2 * peer.connections());
}

// A dataset on the server streams to the local copy's picture in both encodings, each node
// file fetched once; a node file missing from the server costs one line and its own points.
TEST(RemoteViewerDataset, StreamedDatasetGivesTheLocalPictureAndFetchesEachFileOnce) {
    StaticHttpServer server;
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    const ScratchFolder folder("remote-dataset");
    for (const EptDataType type : {EptDataType::Binary, EptDataType::Laszip}) {
        const std::string name = type == EptDataType::Binary ? "bin" : "laz";
        SCOPED_TRACE(name);
        MadeEpt made = sampleEpt(type);
        made.attributes = true;
        const EptFiles files = makeEptFiles(made);
        ASSERT_TRUE(writeEptFiles(folder.path + "/" + name, files));
        for (const auto& file : files)
            ASSERT_TRUE(server.put(name + "/" + file.first, file.second));
        // 3K does not hold the dataset's 130 points: both are streamed.
        const std::string onDisk = scratchDir() + name + "-disk.png";
        const std::string remote = scratchDir() + name + "-url.png";
        const ProcessResult fromDisk =
            screenshot(folder.path + "/" + name + "/ept.json", onDisk, {"--memory", "3K"});
        const ProcessResult fromUrl =
            screenshot(server.url(name + "/ept.json"), remote, {"--memory", "3K"});
        ASSERT_EQ(fromDisk.status, 0) << fromDisk.ending();
        ASSERT_EQ(fromUrl.status, 0) << fromUrl.ending();
        EXPECT_EQ(fromUrl.err, "");
        const std::vector<uint8_t> picture = readPng(remote);
        ASSERT_FALSE(picture.empty());
        EXPECT_EQ(picture, readPng(onDisk));
    }
    EptFiles damaged = makeEptFiles(sampleEpt(EptDataType::Laszip));
    damaged.erase("ept-data/0-0-0-0.laz");
    for (const auto& file : damaged)
        ASSERT_TRUE(server.put("lost/" + file.first, file.second));
    const ProcessResult lost =
        screenshot(server.url("lost/ept.json"), scratchDir() + "lost.png", {"--memory", "3K"});
    ASSERT_EQ(lost.status, 0) << lost.ending();
    EXPECT_EQ(std::count(lost.err.begin(), lost.err.end(), '\n'), 1) << lost.err;
    // Streamed: the node's own line, not a whole read's count of points lost.
    EXPECT_EQ(lost.err.rfind("pointillist: node 0-0-0-0 cannot be read", 0), 0u) << lost.err;

    server.stop();
    std::map<std::string, int> fetches;
    for (const AccessLogEntry& entry : server.accessLog())
        if (entry.path.find("/bin/ept-data/") == 0)
            ++fetches[entry.path];
    EXPECT_FALSE(fetches.empty());
    for (const auto& fetch : fetches)
        EXPECT_EQ(fetch.second, 1) << fetch.first;
}

// A file of many points seen from afar in a small window: the view wants the top of the tree
// alone, and the ranges asked are a small share of the file.
TEST(RemoteViewerLarge, ZoomedOutViewFetchesASmallShareOfTheFile) {
    const std::string cloud = scratchDir() + "planet.txt", tree = scratchDir() + "planet.copc.laz";
    ASSERT_EQ(runProgram({GENERATE_CLOUD_EXE, "400000", cloud}).status, 0);
    ASSERT_EQ(runProgram({CONVERT_EXE, cloud, tree}).status, 0);
    const std::vector<uint8_t> bytes = fileBytes(tree);
    StaticHttpServer server;
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    ASSERT_TRUE(server.put("planet.copc.laz", bytes));
    const std::string png = scratchDir() + "planet.png";
    const ProcessResult result =
        screenshot(server.url("planet.copc.laz"), png, {"--size", "96x96", "--memory", "4M"});
    ASSERT_EQ(result.status, 0) << result.ending();
    EXPECT_FALSE(readPng(png).empty());
    server.stop();
    const RangesAsked asked = rangesOf(server.accessLog(), "/planet.copc.laz");
    EXPECT_FALSE(asked.repeated);
    EXPECT_LT(double(asked.bytes), 0.2 * double(bytes.size()))
        << asked.bytes << " of " << bytes.size() << " bytes in " << asked.requests << " requests";
}

// A URL that cannot be opened: one line naming it and saying why, status 1, before any window.
TEST_F(RemoteViewer, UrlThatCannotBeOpenedGivesOneLine) {
    StaticHttpServer noRanges;
    StaticHttpServer::Options options;
    options.rangeRequests = false;
    std::string error;
    ASSERT_TRUE(noRanges.start(error, options)) << error;
    ASSERT_TRUE(noRanges.put("tree.copc.laz", octree));
    PeerBehaviour slow;
    slow.delayMs = 20000;
    HttpTestPeer slowPeer(octree, slow);
    ASSERT_TRUE(slowPeer.start(error)) << error;
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/tree.copc.laz";
    const std::vector<std::pair<std::string, std::string>> rows = {
        {server.url("missing.copc.laz"), "not found (HTTP 404)"},
        {noRanges.url("tree.copc.laz"), "the server does not answer range requests"},
        {refused, "connection refused"},
        {slowPeer.url(), "timed out"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        const ProcessResult result =
            screenshot(row.first, scratchDir() + "never.png", {"--timeout", "0.3"});
        EXPECT_EQ(result.status, 1) << result.ending();
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind(row.first + ": ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(row.second), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    }
}

// A node whose range fails loses that node alone: one line naming it, the rest of the cloud
// drawn (one pixel short), status 0; a transient failure is tried again instead.
TEST_F(RemoteViewer, NodeThatCannotBeFetchedIsTheOnlyOneLost) {
    const std::vector<uint8_t> whole = localPicture();
    ASSERT_FALSE(whole.empty());
    // The first node whose chunk lies past the bytes the opening request brings.
    CopcKey key;
    int64_t node = -1;
    for (const MadeNode& made : fullOctree(3).nodes)
        if ((node = chunkOffset(octree, made.key)) >= 16384) {
            key = made.key;
            break;
        }
    ASSERT_GE(node, 16384);
    struct Row {
        const char* what;
        PeerBehaviour behaviour;
        std::string reason;
    };
    std::vector<Row> rows(4);
    rows[0] = {"dropped mid-node", {}, "connection dropped"};
    rows[0].behaviour.cutAtOffset = node;
    rows[1] = {"404", {}, "not found (HTTP 404)"};
    rows[1].behaviour.missingAtOffset = node;
    rows[2] = {"no answer", {}, "timed out"};
    rows[2].behaviour.stallAtOffset = node;
    rows[3] = {"whole file", {}, "the server does not answer range requests"};
    rows[3].behaviour.wholeAtOffset = node;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        HttpTestPeer peer(octree, row.behaviour);
        std::string error;
        ASSERT_TRUE(peer.start(error)) << error;
        const std::string png = scratchDir() + "lost.png";
        const ProcessResult result =
            screenshot(peer.url(), png, {"--memory", kStreamedMemory, "--timeout", "0.3"});
        EXPECT_EQ(result.status, 0) << result.ending();
        EXPECT_EQ(result.err.rfind(
                      "pointillist: node " + key.text() + " cannot be read: " + peer.url(), 0),
                  0u)
            << result.err;
        EXPECT_NE(result.err.find(row.reason), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
        const size_t lost = differingPixels(readPng(png), whole);
        EXPECT_GE(lost, 1u);
        EXPECT_LE(lost, 2u);
    }

    // A server busy once for that node: it is asked again after a pause, and nothing is lost.
    PeerBehaviour busyOnce;
    busyOnce.busyOnceAtOffset = node;
    HttpTestPeer peer(octree, busyOnce);
    std::string error;
    ASSERT_TRUE(peer.start(error)) << error;
    const std::string png = scratchDir() + "retried.png";
    const ProcessResult result = screenshot(peer.url(), png, {"--memory", kStreamedMemory});
    EXPECT_EQ(result.status, 0) << result.ending();
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(readPng(png), whole);
}

// Requests per run, for runs that each start by asking for the head from byte 0.
std::vector<size_t> requestsPerRun(const std::vector<AccessLogEntry>& log) {
    std::vector<size_t> runs;
    for (const AccessLogEntry& entry : log) {
        if (entry.rangeFirst == 0 || runs.empty())
            runs.push_back(0);
        ++runs.back();
    }
    return runs;
}

// --cache keeps what was fetched: a second run asks only for the head, which tells the version;
// a changed file is fetched anew, not served from the old ranges.
TEST_F(RemoteViewer, CacheServesALaterRunUntilTheFileChanges) {
    const std::string cache = scratchDir() + "cache";
    const std::string url = server.url("tree.copc.laz");
    const std::vector<uint8_t> whole = localPicture();
    const std::string png = scratchDir() + "cached.png";
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        const ProcessResult result =
            screenshot(url, png, {"--memory", kStreamedMemory, "--cache", cache});
        ASSERT_EQ(result.status, 0) << result.ending();
        EXPECT_EQ(readPng(png), whole);
    }
    // Another file at the same URL, larger: its index and nodes lie where the old file's
    // nodes were.
    const std::vector<uint8_t> changed = makeOctreeFile(fullOctree(4));
    ASSERT_TRUE(server.put("tree.copc.laz", changed));
    const std::string changedLocal = writeScratchFile("changed.copc.laz", changed);
    const std::string expected = scratchDir() + "changed.png";
    ASSERT_EQ(screenshot(changedLocal, expected, {"--memory", kStreamedMemory}).status, 0);
    const ProcessResult result =
        screenshot(url, png, {"--memory", kStreamedMemory, "--cache", cache});
    ASSERT_EQ(result.status, 0) << result.ending();
    EXPECT_EQ(readPng(png), readPng(expected));

    server.stop();
    const std::vector<size_t> runs = requestsPerRun(server.accessLog());
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_GT(runs[0], 3u);
    EXPECT_EQ(runs[1], 1u) << "the head alone";
    EXPECT_GT(runs[2], 1u);
}

// The ranges each request to path asked for, from its first byte on, in the log's order.
std::vector<int64_t> rangeStarts(const std::vector<AccessLogEntry>& log, const std::string& path) {
    std::vector<int64_t> starts;
    for (const AccessLogEntry& entry : log)
        if (entry.path == path)
            starts.push_back(entry.rangeFirst);
    return starts;
}

// A file fetched whole is kept as ranges are: a later run asks for its head alone, and a
// changed file is fetched anew (the rest of it: the head is not asked for twice).
TEST_F(RemoteViewer, CacheKeepsAWholeFetchUntilTheFileChanges) {
    std::vector<std::string> lazFiles, pictures;
    for (const char* count : {"3000", "5000"}) {
        const std::string cloud = scratchDir() + "whole" + count + ".txt";
        lazFiles.push_back(scratchDir() + "whole" + count + ".laz");
        pictures.push_back(scratchDir() + "whole" + count + ".png");
        ASSERT_EQ(runProgram({GENERATE_CLOUD_EXE, count, cloud}).status, 0);
        ASSERT_EQ(runProgram({CONVERT_EXE, cloud, lazFiles.back()}).status, 0);
        ASSERT_GT(fileBytes(lazFiles.back()).size(), 16384u) << "larger than the head";
        ASSERT_EQ(screenshot(lazFiles.back(), pictures.back()).status, 0);
    }
    const std::string cache = scratchDir() + "whole-cache";
    const std::string png = scratchDir() + "whole-url.png";
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        const size_t version = run < 2 ? 0 : 1;
        if (run != 1) {
            ASSERT_TRUE(server.put("whole.laz", fileBytes(lazFiles[version])));
        }
        const ProcessResult result = screenshot(server.url("whole.laz"), png, {"--cache", cache});
        ASSERT_EQ(result.status, 0) << result.ending();
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(readPng(png), readPng(pictures[version]));
    }
    server.stop();
    const std::vector<int64_t> expected = {0, 16384, 0, 0, 16384};
    EXPECT_EQ(rangeStarts(server.accessLog(), "/whole.laz"), expected);
}

// The files of a dataset are kept too, whether it is read whole or streamed: node files
// larger than a head are fetched in full once, and cost their head alone afterwards.
TEST(RemoteViewerDataset, CacheKeepsTheNodeFilesOfADataset) {
    StaticHttpServer server;
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    const MadeEpt made = largerEpt();
    std::vector<std::string> largeNodes;
    for (const MadeEptNode& node : made.nodes) {
        if (node.key.level == 2)
            continue;
        largeNodes.push_back("/big/ept-data/" + std::to_string(node.key.level) + "-" +
                             std::to_string(node.key.x) + "-" + std::to_string(node.key.y) + "-" +
                             std::to_string(node.key.z) + ".bin");
    }
    const EptFiles files = makeEptFiles(made);
    const ScratchFolder folder("cached-dataset");
    ASSERT_TRUE(writeEptFiles(folder.path, files));
    for (const auto& file : files)
        ASSERT_TRUE(server.put("big/" + file.first, file.second));
    const std::string cache = scratchDir() + "dataset-cache";
    // Read whole, streamed (40K does not hold its 3035 points), then whole again.
    for (const char* memory : {"1G", "40K", "1G"}) {
        SCOPED_TRACE(memory);
        const std::string onDisk = scratchDir() + "big-disk.png";
        const std::string remote = scratchDir() + "big-url.png";
        ASSERT_EQ(screenshot(folder.path + "/ept.json", onDisk, {"--memory", memory}).status, 0);
        const ProcessResult result =
            screenshot(server.url("big/ept.json"), remote, {"--memory", memory, "--cache", cache});
        ASSERT_EQ(result.status, 0) << result.ending();
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(readPng(remote), readPng(onDisk));
    }
    server.stop();
    const std::vector<AccessLogEntry> log = server.accessLog();
    EXPECT_EQ(rangeStarts(log, "/big/ept.json").size(), 3u) << "once a run";
    for (const std::string& node : largeNodes) {
        SCOPED_TRACE(node);
        ASSERT_GT(files.at(node.substr(5)).size(), 16384u) << "larger than a head";
        const std::vector<int64_t> starts = rangeStarts(log, node);
        EXPECT_EQ(std::count(starts.begin(), starts.end(), 16384), 1) << "the rest, once";
        EXPECT_GE(std::count(starts.begin(), starts.end(), 0), 2) << "a head each whole read";
    }
}

// While a slow server's nodes are on the wire, the status line's part says how many, their
// bytes and the rate; once they are in, it is gone.
TEST_F(RemoteViewer, StatusSaysWhatIsBeingFetched) {
    PeerBehaviour slow;
    slow.delayMs = 100;
    HttpTestPeer peer(octree, slow);
    std::string error;
    ASSERT_TRUE(peer.start(error)) << error;
    viewer.lodSettings.streamPointsAbove = 0;
    openRemoteCloud(peer.url().c_str(), 14000);
    ASSERT_TRUE(viewer.copcLod);
    reshapeView(viewer.viewState, viewer.pointSet, 400, 400);
    resetView(viewer.viewState, viewer.pointSet);
    const View view = viewOf(viewer.viewState, viewer.pointSet);
    viewer.copcLod->frame(view, -1, PointSource());
    std::string status;
    ASSERT_TRUE(
        pollUntil([&] { return !(status = fetchingStatus()).empty(); }, std::chrono::seconds(10)));
    EXPECT_TRUE(std::regex_match(status, std::regex("fetching [1-8] nodes?, [0-9]+ B, [0-9.]+ "
                                                    "[kM]?B/s")))
        << status;
    std::vector<std::string> damage;
    viewer.copcLod->settle(view, damage);
    EXPECT_TRUE(damage.empty());
    EXPECT_EQ(fetchingStatus(), "");
    viewer.copcLod.reset();
}

TEST(FetchingText, FiguresInShortUnits) {
    EXPECT_EQ(fetchingText(3, 1234567, 850000), "fetching 3 nodes, 1.2 MB, 850 kB/s");
    EXPECT_EQ(fetchingText(1, 999, 0), "fetching 1 node, 999 B, 0 B/s");
    EXPECT_EQ(fetchingText(12, 2500000000, 12500), "fetching 12 nodes, 2.50 GB, 12 kB/s");
}
