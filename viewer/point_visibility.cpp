// viewer/point_visibility.cpp - the counts of a cloud's classes and the list of records drawn.
#include "viewer/point_visibility.h"

#include "threads/worker_pool.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace {

// Parts of a rebuild smaller than this are not worth a thread.
constexpr int64_t kSmallestPart = 65536;

} // namespace

const std::vector<int> PointVisibility::kDefaultHidden = {7, 18};

PointVisibility::PointVisibility() {
    std::fill(std::begin(classShown), std::end(classShown), 1);
}

void PointVisibility::attach(const PointAttributes& attributes, int64_t count,
                             const std::vector<int>& hiddenClasses) {
    attachColumns(attributes, count, hiddenClasses, nullptr);
}

void PointVisibility::attach(const PointCloud& cloud, const std::vector<int>& hiddenClasses) {
    attachColumns(cloud.attributes, cloud.count, hiddenClasses,
                  cloud.files.empty() ? nullptr : &cloud.files);
}

void PointVisibility::attachColumns(const PointAttributes& attributes, int64_t count,
                                    const std::vector<int>& hiddenClasses,
                                    const std::vector<SceneFile>* files) {
    *this = PointVisibility();
    count_ = count;
    // A column shorter than the records would be read past its end: it is left out.
    if (attributes.has(kClassification) && int64_t(attributes.classification.size()) >= count)
        classification_ = attributes.classification.data();
    if (attributes.has(kFlags) && int64_t(attributes.flags.size()) >= count)
        flags_ = attributes.flags.data();
    if (files != nullptr && classification_ != nullptr &&
        int64_t(attributes.origin.size()) >= count) {
        origin_ = attributes.origin.data();
        // An origin past the table (which cannot come from a scene put together) has none.
        fileClassed_.assign(65536, 0);
        for (size_t file = 0; file < files->size() && file < fileClassed_.size(); ++file)
            fileClassed_[file] = (*files)[file].has(kClassification);
    }
    hideAtStart(hiddenClasses);
    for (int64_t i = 0; i < count; ++i) {
        const int code = classification_ != nullptr ? classification_[i] : 0;
        const bool withheld = flags_ != nullptr && (flags_[i] & kFlagWithheld) != 0;
        withheldTotal_ += withheld;
        // A file without classes puts its records in none.
        if (!classed(i))
            continue;
        ++classCounts_[code];
        withheldCounts_[code] += withheld;
    }
    changed();
}

void PointVisibility::attachEstimate(bool classified, const int64_t classCounts[256],
                                     const int64_t withheldCounts[256],
                                     const std::vector<int>& hiddenClasses) {
    *this = PointVisibility();
    estimated_ = true;
    estimatedClasses_ = classified;
    hideAtStart(hiddenClasses);
    std::copy(classCounts, classCounts + 256, classCounts_);
    std::copy(withheldCounts, withheldCounts + 256, withheldCounts_);
    for (int code = 0; code < 256; ++code)
        withheldTotal_ += withheldCounts_[code];
    changed();
}

void PointVisibility::addEstimate(bool classified, const int64_t classCounts[256],
                                  const int64_t withheldCounts[256]) {
    estimatedClasses_ = estimatedClasses_ || classified;
    for (int code = 0; code < 256; ++code) {
        classCounts_[code] += classCounts[code];
        withheldCounts_[code] += withheldCounts[code];
        estimatedCounts_[code] += classCounts[code];
        estimatedWithheld_[code] += withheldCounts[code];
        withheldTotal_ += withheldCounts[code];
    }
    changed();
}

void PointVisibility::hideAtStart(const std::vector<int>& hiddenClasses) {
    for (int code : hiddenClasses)
        if (code >= 0 && code < 256)
            classShown[code] = 0;
}

bool PointVisibility::hidesAny() const {
    if (withheldShown == 0 && withheldTotal_ > 0)
        return true;
    if (!hasClasses())
        return false;
    for (int code = 0; code < 256; ++code)
        if (classShown[code] == 0 && classCounts_[code] > 0)
            return true;
    return false;
}

void PointVisibility::rebuild() {
    builtVersion_ = version_;
    // Without records of its own there is nothing to list.
    all_ = estimated_ || !hidesAny();
    drawn_.reset();
    drawnCount_ = 0;
    if (all_)
        return;
    // Each part counts its records drawn, then writes them at its offset, so the list ascends.
    int64_t partDrawn[kMostParts + 1] = {};
    const int parts =
        runInParts(count_, kMostParts, kSmallestPart, [&](int64_t begin, int64_t end, int part) {
            int64_t n = 0;
            for (int64_t i = begin; i < end; ++i)
                n += shows(i);
            partDrawn[part + 1] = n;
        });
    for (int part = 0; part < parts; ++part)
        partDrawn[part + 1] += partDrawn[part];
    // One entry more, so that an empty list is still a list rather than nullptr. Without the
    // memory for it the hidden records are drawn too, rather than none at all.
    drawnCount_ = partDrawn[parts];
    drawn_.reset(new (std::nothrow) uint32_t[size_t(drawnCount_) + 1]);
    if (drawn_ == nullptr) {
        std::fprintf(stderr, "pointillist: not enough memory to hide points; all are drawn\n");
        all_ = true;
        return;
    }
    runInParts(count_, kMostParts, kSmallestPart, [&](int64_t begin, int64_t end, int part) {
        uint32_t* out = drawn_.get() + partDrawn[part];
        for (int64_t i = begin; i < end; ++i)
            if (shows(i))
                *out++ = static_cast<uint32_t>(i);
    });
}

const uint32_t* PointVisibility::drawn() {
    if (builtVersion_ != version_)
        rebuild();
    return all_ ? nullptr : drawn_.get();
}

int64_t PointVisibility::drawnCount() {
    if (builtVersion_ != version_)
        rebuild();
    return all_ ? count_ : drawnCount_;
}
