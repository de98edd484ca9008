// tests/net/remote_info_test.cpp - pointillist-info on URLs served by a real lighttpd on the
// loopback address: the same lines as for the local copies, octree files read by small ranges,
// datasets needing no ranges at all, and each failure as one line with status 1.
#include "tests/io/ept/ept_test_files.h"
#include "tests/support/http_test_peer.h"
#include "tests/support/program.h"
#include "tests/support/static_http_server.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

ProcessResult info(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), POINTILLIST_INFO_EXE);
    return runProgram(arguments);
}

std::string dataPath(const std::string& name) {
    return std::string(POINTILLIST_TEST_DATA_DIR) + "/" + name;
}

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// One line naming the URL, nothing on standard output, status 1.
void expectOneLineFailure(const ProcessResult& result, const std::string& url,
                          const std::string& reason) {
    EXPECT_EQ(result.status, 1) << result.ending();
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind(url + ": ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
}

// The octree file, a plain LAZ file and both kinds of dataset, on disk and on the server.
class RemoteInfo : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.start(error, serverOptions)) << error;
        for (const char* name :
             {"copc/laspy_simple_with_page.copc.laz", "laz/lazperf_point-color.las.laz"})
            ASSERT_TRUE(server.put(name, fileBytes(dataPath(name))));
        for (const EptDataType type : {EptDataType::Binary, EptDataType::Laszip}) {
            const std::string name = type == EptDataType::Binary ? "bin" : "laz";
            MadeEpt made = sampleEpt(type);
            made.origin = 4500000;
            const EptFiles files = makeEptFiles(made);
            ASSERT_TRUE(writeEptFiles(local.path + "/" + name, files));
            for (const auto& file : files)
                ASSERT_TRUE(server.put(name + "/" + file.first, file.second));
        }
    }

    StaticHttpServer::Options serverOptions;
    StaticHttpServer server;
    ScratchFolder local{"remote"};
};

class RemoteInfoWithoutRanges : public RemoteInfo {
protected:
    void SetUp() override {
        serverOptions.rangeRequests = false;
        RemoteInfo::SetUp();
    }
};

} // namespace

TEST_F(RemoteInfo, SameLinesFromTheServerAsFromDisk) {
    const std::vector<std::pair<std::string, std::string>> places = {
        {dataPath("copc/laspy_simple_with_page.copc.laz"),
         server.url("copc/laspy_simple_with_page.copc.laz")},
        {dataPath("laz/lazperf_point-color.las.laz"),
         server.url("laz/lazperf_point-color.las.laz")},
        {local.path + "/bin/ept.json", server.url("bin/ept.json")},
        {local.path + "/laz/ept.json", server.url("laz/ept.json")},
    };
    for (const auto& place : places) {
        for (const bool quick : {false, true}) {
            SCOPED_TRACE(place.second + (quick ? " --quick" : ""));
            std::vector<std::string> onDisk = {place.first}, remote = {place.second};
            if (quick) {
                onDisk.insert(onDisk.begin(), "--quick");
                remote.insert(remote.begin(), "--quick");
            }
            const ProcessResult expected = info(onDisk);
            const ProcessResult got = info(remote);
            EXPECT_EQ(expected.status, 0) << expected.err;
            EXPECT_EQ(got.status, 0) << got.ending();
            EXPECT_EQ(got.err, "");
            EXPECT_EQ(got.out, expected.out);
        }
    }
}

// The real sample beside the repository, when it is there, served as it lies.
TEST_F(RemoteInfo, RealDatasetGivesTheSameLines) {
    const std::string shared = POINTILLIST_EPT_DATA_DIR;
    if (shared.empty())
        GTEST_SKIP() << "no ../shared/data/ept beside the repository";
    const std::string folder = shared + "/pdal_1.2-with-color";
    for (const char* name : {"ept.json", "ept-hierarchy/0-0-0-0.json", "ept-data/0-0-0-0.laz"})
        ASSERT_TRUE(server.put(std::string("real/") + name, fileBytes(folder + "/" + name)));
    for (const bool quick : {false, true}) {
        std::vector<std::string> onDisk = {folder + "/ept.json"},
                                 remote = {server.url("real/ept.json")};
        if (quick) {
            onDisk.insert(onDisk.begin(), "--quick");
            remote.insert(remote.begin(), "--quick");
        }
        const ProcessResult got = info(remote);
        EXPECT_EQ(got.status, 0) << got.ending();
        EXPECT_EQ(got.out, info(onDisk).out);
        EXPECT_NE(got.out.find("ept: depth 0, 1 nodes, span 128, data laszip\n"),
                  std::string::npos);
    }
}

// The quick look at an octree file asks for its header and index by ranges, never for the
// whole file (which here is small: the first range alone is half of it).
TEST_F(RemoteInfo, QuickLookAtAnOctreeFileFetchesLittle) {
    const std::string name = "copc/laspy_simple_with_page.copc.laz";
    const ProcessResult quick = info({"--quick", server.url(name)});
    ASSERT_EQ(quick.status, 0) << quick.ending();
    server.stop();
    int64_t fetched = 0;
    const std::vector<AccessLogEntry> log = server.accessLog();
    ASSERT_FALSE(log.empty());
    for (const AccessLogEntry& entry : log) {
        EXPECT_GE(entry.rangeFirst, 0) << entry.path;
        fetched += entry.bytes;
    }
    EXPECT_LT(fetched, int64_t(fileBytes(dataPath(name)).size()));
}

// A whole read of a dataset fetches each of its files once, the colour decision's node included.
TEST_F(RemoteInfo, EveryFileOfADatasetIsFetchedOnce) {
    const ProcessResult whole = info({server.url("laz/ept.json")});
    ASSERT_EQ(whole.status, 0) << whole.ending();
    server.stop();
    std::map<std::string, int> fetched;
    for (const AccessLogEntry& entry : server.accessLog())
        ++fetched[entry.path];
    std::map<std::string, int> expected;
    for (const auto& file : makeEptFiles(sampleEpt(EptDataType::Laszip)))
        expected["/laz/" + file.first] = 1;
    EXPECT_EQ(fetched, expected);
}

// A lost node file loses its points, said in the load's one line; the rest is read.
TEST_F(RemoteInfo, MissingNodeFileLosesOnlyItsPoints) {
    MadeEpt made = sampleEpt(EptDataType::Binary);
    made.origin = 4500000;
    for (const auto& file : makeEptFiles(made)) {
        if (file.first == "ept-data/1-0-0-0.bin")
            continue;
        ASSERT_TRUE(server.put("lost/" + file.first, file.second));
    }
    const ProcessResult lost = info({server.url("lost/ept.json")});
    EXPECT_EQ(lost.status, 0) << lost.ending();
    EXPECT_EQ(lost.out.rfind("points: 100\n", 0), 0u) << lost.out;
    EXPECT_EQ(lost.err, server.url("lost/ept.json") +
                            ": expected 130 points, read 100 (node 1-0-0-0 cannot be read: " +
                            server.url("lost/ept-data/1-0-0-0.bin") + ": not found (HTTP 404))\n");
}

// --cache: a first run fills the folder, a later one gives the same lines asking for the head
// alone; a folder that cannot be made costs one line and the run goes on without.
TEST_F(RemoteInfo, CacheFillsAndThenServesALaterRun) {
    const std::string name = "laz/loadersgl_pdrf8-1.4.laz";
    ASSERT_TRUE(server.put(name, fileBytes(dataPath(name))));
    const std::string expected = info({dataPath(name)}).out;
    const std::string cache = local.path + "/cache";
    for (int run = 0; run < 2; ++run) {
        const ProcessResult got = info({"--cache", cache, server.url(name)});
        EXPECT_EQ(got.status, 0) << got.ending();
        EXPECT_EQ(got.err, "");
        EXPECT_EQ(got.out, expected);
    }
    const std::string notAFolder = dataPath(name) + "/cache";
    const ProcessResult without = info({"--cache", notAFolder, server.url(name)});
    EXPECT_EQ(without.status, 0) << without.ending();
    EXPECT_EQ(without.out, expected);
    EXPECT_EQ(without.err, "pointillist-info: --cache " + notAFolder +
                               ": Not a directory; not keeping what is fetched\n");
    server.stop();
    std::vector<int64_t> starts;
    for (const AccessLogEntry& entry : server.accessLog())
        if (entry.path == "/" + name)
            starts.push_back(entry.rangeFirst);
    const std::vector<int64_t> expectedStarts = {0, 16384, 0, 0, 16384};
    EXPECT_EQ(starts, expectedStarts) << "head and rest; head; head and rest";
}

TEST_F(RemoteInfo, MissingFilesAndNoServerFailWithOneLine) {
    for (const bool quick : {false, true}) {
        SCOPED_TRACE(quick ? "--quick" : "whole");
        auto run = [&](const std::string& url) {
            return quick ? info({"--quick", url}) : info({url});
        };
        const std::string missing = server.url("copc/none.copc.laz");
        expectOneLineFailure(run(missing), missing, "not found (HTTP 404)");
        const std::string noDataset = server.url("none/ept.json");
        expectOneLineFailure(run(noDataset), noDataset, "not found (HTTP 404)");
        const std::string refused =
            "http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/x.copc.laz";
        expectOneLineFailure(run(refused), refused, "connection refused");
    }
}

// An octree file needs ranges and says so; a dataset fetches whole files and needs none.
TEST_F(RemoteInfoWithoutRanges, OctreeFilesNeedRangesDatasetsDoNot) {
    const std::string copc = server.url("copc/laspy_simple_with_page.copc.laz");
    expectOneLineFailure(info({copc}), copc, "the server does not answer range requests");
    expectOneLineFailure(info({"--quick", copc}), copc,
                         "the server does not answer range requests");
    const std::string expected = info({local.path + "/laz/ept.json"}).out;
    const ProcessResult dataset = info({server.url("laz/ept.json")});
    EXPECT_EQ(dataset.status, 0) << dataset.ending();
    EXPECT_EQ(dataset.out, expected);
    // What --cache asks first is a range; the whole of a larger file answering it is as good.
    const EptFiles larger = makeEptFiles(largerEpt());
    ASSERT_TRUE(writeEptFiles(local.path + "/larger", larger));
    for (const auto& file : larger)
        ASSERT_TRUE(server.put("larger/" + file.first, file.second));
    const ProcessResult kept =
        info({"--cache", local.path + "/cache", server.url("larger/ept.json")});
    EXPECT_EQ(kept.status, 0) << kept.ending();
    EXPECT_EQ(kept.err, "");
    EXPECT_EQ(kept.out, info({local.path + "/larger/ept.json"}).out);
}

// A body cut short and a server that never answers, from a peer that misbehaves on cue.
TEST(RemoteInfoPeer, ShortBodyAndSilenceFailWithOneLine) {
    const std::vector<uint8_t> file = fileBytes(dataPath("copc/laspy_simple_with_page.copc.laz"));
    PeerBehaviour cut;
    cut.cutAtOffset = 0;
    HttpTestPeer cutting(file, cut);
    std::string error;
    ASSERT_TRUE(cutting.start(error)) << error;
    expectOneLineFailure(info({"--quick", cutting.url()}), cutting.url(), "connection dropped");

    PeerBehaviour silent;
    silent.delayMs = 60000;
    HttpTestPeer waiting(file, silent);
    ASSERT_TRUE(waiting.start(error)) << error;
    expectOneLineFailure(info({"--timeout", "0.3", waiting.url()}), waiting.url(),
                         "timed out (nothing received for 300 ms)");
}
