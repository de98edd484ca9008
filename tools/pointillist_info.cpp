// tools/pointillist_info.cpp - loads point files, datasets or URLs with the viewer's readers and
// prints what the viewer derives from each, without opening a window; or, with --quick, what a
// LAS, LAZ or octree file's header and index, or a dataset's description and hierarchy, say
// without decoding any point.
#include "io/byte_source.h"
#include "io/classification.h"
#include "io/cloud_load.h"
#include "io/copc/copc_file.h"
#include "io/ept/ept_reader.h"
#include "io/formats.h"
#include "io/las/las_layout.h"
#include "io/las/las_reader.h"
#include "io/point_cloud.h"
#include "net/disk_cache.h"
#include "net/http_client.h"
#include "net/remote_files.h"
#include "net/url.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* kUsage =
    "usage: pointillist-info [--quick] [--timeout SECONDS] [--cache DIR] [--] POINT_FILE...\n";

const char* kHelp =
    "Loads each point file with the viewer's readers and prints its number of points, box,\n"
    "centroid and view distance; for formats other than the native one also its format,\n"
    "colour source, dropped points and shift, and a warning line for each thing the file\n"
    "says that its points contradict. An octree (COPC) file adds the line\n"
    "  copc: depth D, N nodes, spacing S\n"
    "D being the deepest level that holds points (the root is 0), N the number of nodes that\n"
    "hold points, and S the root's nominal distance between points. An EPT dataset (given by\n"
    "its ept.json) adds\n"
    "  ept: depth D, N nodes, span S, data TYPE\n"
    "S being the dataset's span and TYPE how its nodes are stored (laszip or binary). Then the\n"
    "attributes the file keeps per point, the count of each class present, and of the withheld\n"
    "points:\n"
    "  attributes: intensity classification returns flags scan-angle user-data point-source\n"
    "  classes: CODE:COUNT ...\n"
    "  withheld: N\n"
    "A POINT_FILE may be an http:// or https:// URL, read over HTTP: an octree file by range\n"
    "requests, a dataset's files one request each, anything else fetched whole. With several\n"
    "files, each file's lines follow a line \"file: PATH\", and the scene they make together\n"
    "comes last, after a blank line: the files read (\"R of N\" when some could not be),\n"
    "the sum of their points and the box that holds them all:\n"
    "  scene: N files\n"
    "  points: N\n"
    "  min: X Y Z\n"
    "  max: X Y Z\n"
    "\n"
    "  --quick    print what the header says, without decoding any point: the number of\n"
    "             points, the header's box and the format; for an octree file also its copc\n"
    "             line, from the index alone; for a dataset the box of its data, from\n"
    "             ept.json, and its ept line. LAS, LAZ, octree files and EPT datasets only.\n"
    "  --timeout SECONDS\n"
    "             give up on a server that sends nothing for this long (default 30; a failed\n"
    "             request is tried again a few times first)\n"
    "  --cache DIR\n"
    "             keep what is fetched of a URL in DIR, for later runs to reuse while the\n"
    "             file is unchanged (nothing is written to disk without it)\n"
    "  --help     this text\n"
    "  --version  the version\n";

// What one file adds to the scene's lines: its points and its box in file coordinates.
struct FileSummary {
    uint64_t points = 0;
    double low[3] = {};
    double high[3] = {};
};

// The union of the files read, printed after their own lines when there are several.
class SceneSummary {
public:
    void add(const FileSummary& file) {
        for (int axis = 0; axis < 3; ++axis) {
            low_[axis] = read_ ? std::min(low_[axis], file.low[axis]) : file.low[axis];
            high_[axis] = read_ ? std::max(high_[axis], file.high[axis]) : file.high[axis];
        }
        points_ += file.points;
        ++read_;
    }
    // A blank line, then "scene: N files" (or "scene: R of N files" when some were refused),
    // the sum of the points and the union box, written with the files' own digits. Nothing
    // when no file was read.
    void print(size_t files, int digits) const {
        if (read_ == 0)
            return;
        if (read_ == files)
            std::printf("\nscene: %zu files\n", files);
        else
            std::printf("\nscene: %zu of %zu files\n", read_, files);
        std::printf("points: %llu\n", static_cast<unsigned long long>(points_));
        std::printf("min: %.*g %.*g %.*g\n", digits, low_[0], digits, low_[1], digits, low_[2]);
        std::printf("max: %.*g %.*g %.*g\n", digits, high_[0], digits, high_[1], digits, high_[2]);
    }

private:
    uint64_t points_ = 0;
    double low_[3] = {};
    double high_[3] = {};
    size_t read_ = 0;
};

bool finishOutput() {
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

// The index's line, with every page read. Damage goes to standard error when report is set
// (a whole load has named it already otherwise).
void printCopcLine(CopcFile& file, const char* path, bool report) {
    CopcHierarchy& index = file.hierarchy();
    index.loadAll();
    const CopcHierarchySummary summary = index.summary();
    std::printf("copc: depth %d, %zu nodes, spacing %g\n", std::max(summary.depth, 0),
                summary.nodes, file.info().spacing);
    if (!report)
        return;
    for (const std::string& line : index.takeDamage())
        std::fprintf(stderr, "%s: %s\n", path, line.c_str());
    if (summary.points != file.las().declared)
        std::fprintf(stderr, "%s: the index holds %llu points, the header says %llu\n", path,
                     static_cast<unsigned long long>(summary.points),
                     static_cast<unsigned long long>(file.las().declared));
}

std::unique_ptr<CopcFile> openCopc(const char* path, std::string& error) {
    std::unique_ptr<ByteSource> source = openSource(path, error);
    return source ? CopcFile::open(std::move(source), error) : nullptr;
}

// "PLY files", "column text files".
std::string pluralNoun(const char* noun) {
    const std::string text = noun;
    const bool endsInFile = text.size() >= 4 && text.compare(text.size() - 4, 4, "file") == 0;
    return endsInFile ? text + "s" : text + " files";
}

// What the file says of its points besides position and colour: the attributes it has, then
// the count of each class present and of the withheld points.
void printAttributeLines(const PointAttributes& attributes) {
    if (attributes.present == 0)
        return;
    std::string line = "attributes:";
    for (AttributeBit bit : kAttributeOrder)
        if (attributes.has(bit))
            line += std::string(" ") + attributeName(bit);
    std::printf("%s\n", line.c_str());
    if (attributes.has(kClassification)) {
        const ClassCounts counts = countClasses(attributes);
        line = "classes:";
        for (size_t code = 0; code < counts.size(); ++code)
            if (counts[code] != 0)
                line += " " + std::to_string(code) + ":" + std::to_string(counts[code]);
        std::printf("%s\n", line.c_str());
    }
    if (const int64_t withheld = countWithheld(attributes))
        std::printf("withheld: %lld\n", static_cast<long long>(withheld));
}

// The hierarchy's line, with every file read; its damage, and a sum of counts that differs from
// the description's, go to standard error when report is set.
void printEptLine(EptDataset& dataset, const char* path, bool report) {
    std::printf("%s\n", eptInfoLine(dataset).c_str());
    if (!report)
        return;
    for (const std::string& line : dataset.hierarchy().takeDamage())
        std::fprintf(stderr, "%s: %s\n", path, line.c_str());
    const EptHierarchySummary summary = dataset.hierarchy().summary();
    if (summary.points != dataset.metadata().points)
        std::fprintf(stderr, "%s: the hierarchy holds %llu points, ept.json says %llu\n", path,
                     static_cast<unsigned long long>(summary.points),
                     static_cast<unsigned long long>(dataset.metadata().points));
}

int quickEpt(const char* path, FileSummary& summary) {
    std::string error;
    std::unique_ptr<EptDataset> dataset = openEptDataset(path, error);
    if (!dataset) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const EptMetadata& metadata = dataset->metadata();
    const double* box = metadata.conforming;
    std::printf("points: %llu\n", static_cast<unsigned long long>(metadata.points));
    std::printf("min: %.15g %.15g %.15g\n", box[0], box[1], box[2]);
    std::printf("max: %.15g %.15g %.15g\n", box[3], box[4], box[5]);
    summary.points = metadata.points;
    std::copy(box, box + 3, summary.low);
    std::copy(box + 3, box + 6, summary.high);
    std::printf("format: EPT %s, %s\n",
                metadata.version.empty() ? "1.0.0" : metadata.version.c_str(),
                metadata.dataTypeName());
    printEptLine(*dataset, path, true);
    return finishOutput() ? 0 : 1;
}

int quickInfo(const char* path, FileSummary& summary) {
    if (namesEptDataset(path))
        return quickEpt(path, summary);
    std::string error;
    std::unique_ptr<ByteSource> source = openSource(path, error);
    std::vector<uint8_t> head;
    const int64_t headSize = source ? std::min<int64_t>(source->size(), 4096) : 0;
    if (!source || !source->read(0, headSize, head, error)) {
        // A URL's failure says what the server did; a file keeps the viewer's message.
        if (isUrl(path))
            std::fprintf(stderr, "%s\n", error.c_str());
        else
            std::printf("ERROR: unable to open file %s!\n", path);
        return 1;
    }
    if (hasEptSignature(head.data(), head.size()))
        return quickEpt(path, summary);
    const bool lasFamily =
        hasLasSignature(head.data(), head.size()) || hasLazSignature(head.data(), head.size());
    if (!lasFamily) {
        const FormatEntry* entry = pickFormat(path, head.data(), head.size(), true);
        std::fprintf(stderr, "%s: --quick reads only LAS and LAZ headers, not %s\n", path,
                     entry ? pluralNoun(entry->noun).c_str() : "unknown formats");
        return 1;
    }
    const char* family = hasLazSignature(head.data(), head.size()) ? "LAZ" : "LAS";
    LasLayout layout;
    std::unique_ptr<CopcFile> copc;
    if (hasCopcSignature(head.data(), head.size())) {
        copc = CopcFile::open(std::move(source), error);
        if (copc)
            layout = copc->las();
        else
            std::fprintf(stderr, "%s: the octree index cannot be used: %s\n", path, error.c_str());
    }
    if (!copc && !parseLasHeader(head.data(), head.size(), layout, error)) {
        std::fprintf(stderr, "%s: %s file, %s\n", path, family, error.c_str());
        return 1;
    }
    std::printf("points: %llu\n", static_cast<unsigned long long>(layout.declared));
    std::printf("min: %.15g %.15g %.15g\n", layout.low[0], layout.low[1], layout.low[2]);
    std::printf("max: %.15g %.15g %.15g\n", layout.high[0], layout.high[1], layout.high[2]);
    summary.points = layout.declared;
    std::copy(layout.low, layout.low + 3, summary.low);
    std::copy(layout.high, layout.high + 3, summary.high);
    std::printf("format: %s\n", lasFormatLine(family, layout).c_str());
    if (copc)
        printCopcLine(*copc, path, true);
    return finishOutput() ? 0 : 1;
}

// The lines of one whole load; false when the file was refused (its message printed).
bool info(const char* path, FileSummary& summary) {
    // A URL's format is learnt from the server; a failure there is its one line.
    RemoteRead remote;
    CloudLoad load;
    if (isUrl(path)) {
        std::string error;
        if (!openRemoteRead(path, remote, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
        }
        load.beginWith(path, *remote.entry, remote.read, CloudLoad::Place::Here);
    } else {
        load.begin(path, CloudLoad::Place::Here);
    }
    if (load.reportRefusal())
        return false;
    PointCloud set;
    load.finish(set);
    set.computeViewDistance(kFramingFieldOfViewX);

    // Box and centroid in file coordinates: the shift is added back.
    const double* s = set.shift;
    std::printf("points: %d\n", static_cast<int>(set.count));
    std::printf("min: %.9g %.9g %.9g\n", set.nearCorner[0] + s[0], set.nearCorner[1] + s[1],
                set.farCorner[2] + s[2]);
    std::printf("max: %.9g %.9g %.9g\n", set.farCorner[0] + s[0], set.farCorner[1] + s[1],
                set.nearCorner[2] + s[2]);
    std::printf("centroid: %.9g %.9g %.9g\n", set.centroid[0] + s[0], set.centroid[1] + s[1],
                set.centroid[2] + s[2]);
    std::printf("view-distance: %.9g\n", set.viewDistance);
    summary.points = static_cast<uint64_t>(std::max(set.count, 0));
    for (int axis = 0; axis < 3; ++axis) {
        const float* low = axis == 2 ? set.farCorner : set.nearCorner;
        const float* high = axis == 2 ? set.nearCorner : set.farCorner;
        summary.low[axis] = low[axis] + s[axis];
        summary.high[axis] = high[axis] + s[axis];
    }
    // The native format's output stays these five lines.
    if (set.format != Format::Native) {
        static const char* kColours[] = {"rgb", "intensity", "none"};
        std::printf("format: %s\n", set.formatDescription.c_str());
        std::printf("colour: %s%s%s%s\n", kColours[static_cast<int>(set.colour)],
                    set.colourNote.empty() ? "" : " (", set.colourNote.c_str(),
                    set.colourNote.empty() ? "" : ")");
        std::printf("dropped: %lld\n", static_cast<long long>(set.dropped));
        if (set.shifted)
            std::printf("shift: %.17g %.17g %.17g\n", s[0], s[1], s[2]);
        for (const std::string& warning : set.warnings)
            std::printf("warning: %s\n", warning.c_str());
    }
    releasePoints(set.points);
    // An octree file read whole has named its damage already; a file whose index could not be
    // used was read as plain LAZ, and says so.
    if (set.format == Format::Copc) {
        std::string error;
        if (remote.copc)
            printCopcLine(*remote.copc, path, false);
        else if (std::unique_ptr<CopcFile> file = openCopc(path, error))
            printCopcLine(*file, path, false);
        else
            std::fprintf(stderr, "%s: the octree index cannot be used (%s); read as plain LAZ\n",
                         path, error.c_str());
    }
    if (set.format == Format::Ept) {
        std::string error;
        if (remote.ept)
            printEptLine(*remote.ept, path, false);
        else if (std::unique_ptr<EptDataset> dataset = openEptDataset(path, error))
            printEptLine(*dataset, path, false);
        else
            std::fprintf(stderr, "%s\n", error.c_str());
    }
    if (set.format != Format::Native)
        printAttributeLines(set.attributes);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    bool quick = false, optionsEnded = false;
    std::vector<const char*> files;
    HttpOptions http;
    const char* cacheFolder = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (optionsEnded || argument[0] != '-' || std::strcmp(argument, "-") == 0) {
            files.push_back(argument);
        } else if (std::strcmp(argument, "--") == 0) {
            optionsEnded = true;
        } else if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            std::printf("%s\n%s", kUsage, kHelp);
            return finishOutput() ? 0 : 1;
        } else if (std::strcmp(argument, "--version") == 0) {
            std::printf("pointillist-info %s\n", POINTILLIST_VERSION);
            return finishOutput() ? 0 : 1;
        } else if (std::strcmp(argument, "--quick") == 0) {
            quick = true;
        } else if (std::strcmp(argument, "--timeout") == 0) {
            int milliseconds = 0;
            if (i + 1 == argc || !parseTimeoutSeconds(argv[++i], milliseconds)) {
                std::fprintf(stderr,
                             "pointillist-info: --timeout takes a number of seconds above 0\n%s",
                             kUsage);
                return 2;
            }
            http.stallTimeoutMs = http.connectTimeoutMs = milliseconds;
        } else if (std::strcmp(argument, "--cache") == 0) {
            if (i + 1 == argc || argv[++i][0] == '\0') {
                std::fprintf(stderr, "pointillist-info: --cache needs a folder\n%s", kUsage);
                return 2;
            }
            cacheFolder = argv[i];
        } else {
            std::fprintf(stderr, "pointillist-info: unknown option '%s'\n%s", argument, kUsage);
            return 2;
        }
    }
    // Without a file the usage line alone, and status 1, as the first version's programs.
    if (files.empty()) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    setSharedHttpOptions(http);
    // The folder is made only for a run that reads a URL.
    const bool anyUrl =
        std::any_of(files.begin(), files.end(), [](const char* file) { return isUrl(file); });
    std::string cacheError;
    if (cacheFolder && anyUrl && !openSharedDiskCache(cacheFolder, cacheError))
        std::fprintf(stderr, "pointillist-info: --cache %s; not keeping what is fetched\n",
                     cacheError.c_str());
    bool allRead = true;
    SceneSummary scene;
    for (const char* path : files) {
        // One file's output stays as it has always been.
        if (files.size() > 1)
            std::printf("file: %s\n", path);
        FileSummary summary;
        const bool read = quick ? quickInfo(path, summary) == 0 : info(path, summary);
        if (read)
            scene.add(summary);
        allRead &= read;
        // Each file's lines stay together with its messages on standard error.
        std::fflush(stdout);
    }
    // The digits of the files' own box lines, so that the union's ends read as theirs do.
    if (files.size() > 1)
        scene.print(files.size(), quick ? 15 : 9);
    return finishOutput() && allRead ? 0 : 1;
}
