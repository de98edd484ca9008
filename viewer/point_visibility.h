// viewer/point_visibility.h - which records of the cloud are drawn: by class, and whether the
// withheld ones are.
#pragma once

#include "io/point_attributes.h"
#include "io/point_cloud.h"

#include <cstdint>
#include <memory>
#include <vector>

// Hides the records of hidden classes and, unless shown, the withheld ones. The class check
// boxes and the `w` key change the switches, then call changed(); the list of the records
// drawn is rebuilt when a frame next asks for it, so that a list a frame in progress holds stays
// valid until the next frame replaces it. Nothing is hidden in a cloud without classes or flags,
// and then no list is kept: every record is drawn as it always was. Hidden points are neither
// drawn nor picked; the box, and so the framing, stays the whole cloud's.
class PointVisibility {
public:
    // The codes hidden at start unless the command line says otherwise: low and high noise.
    static const std::vector<int> kDefaultHidden;

    PointVisibility();

    // Follows the columns of a loaded cloud of count records, which must outlive this or the next
    // attach; every class shown but hiddenClasses, and the withheld records hidden.
    void attach(const PointAttributes& attributes, int64_t count,
                const std::vector<int>& hiddenClasses = kDefaultHidden);
    // The same for a cloud, which may be a scene of several files: the records of a file
    // without classes are in no class, and no class switch hides them.
    void attach(const PointCloud& cloud, const std::vector<int>& hiddenClasses = kDefaultHidden);

    // Follows a cloud whose records are not all held at once (a streamed file), from the counts
    // of a sample of it scaled to the whole: hasClasses as classified says, no list kept (the
    // holder of each part of the records asks showsPoint), the switches as attach sets them.
    void attachEstimate(bool classified, const int64_t classCounts[256],
                        const int64_t withheldCounts[256],
                        const std::vector<int>& hiddenClasses = kDefaultHidden);
    // Whether the counts are such an estimate.
    bool estimated() const { return estimated_; }
    // After attach, for a scene whose records held are joined by a streamed file: that file's
    // estimated counts added to the counts (the list of records drawn stays the held ones').
    void addEstimate(bool classified, const int64_t classCounts[256],
                     const int64_t withheldCounts[256]);
    // Whether the count of code is, or holds, an estimate; and the estimates added.
    bool estimated(int code) const { return estimated_ || estimatedCounts_[code & 255] > 0; }
    const int64_t* estimatedCounts() const { return estimatedCounts_; }
    const int64_t* estimatedWithheld() const { return estimatedWithheld_; }

    // The switches, as the check boxes bind them: non-zero draws the class, or the withheld
    // records.
    int32_t classShown[256] = {};
    int32_t withheldShown = 0;
    // After a switch changed.
    void changed() { ++version_; }

    // Whether record i is drawn.
    bool shows(int64_t i) const {
        if (classification_ != nullptr && classShown[classification_[i]] == 0 && classed(i))
            return false;
        return flags_ == nullptr || withheldShown != 0 || (flags_[i] & kFlagWithheld) == 0;
    }
    // Whether a point of this class and these flags is drawn.
    bool showsPoint(uint8_t code, uint8_t flags) const {
        return classShown[code] != 0 && (withheldShown != 0 || (flags & kFlagWithheld) == 0);
    }
    // Whether any record is hidden now.
    bool hidesAny() const;

    // The records drawn, ascending, rebuilt if a switch changed since; nullptr when every
    // record is (and then drawnCount is the cloud's count) or when the list cannot be allocated.
    const uint32_t* drawn();
    int64_t drawnCount();
    // Changes whenever the list drawn gives does.
    uint64_t version() const { return version_; }
    // Whether the next drawn() makes the list anew, freeing the one it gave before.
    bool stale() const { return builtVersion_ != version_; }

    // The records of each class code, and those of them withheld.
    const int64_t* classCounts() const { return classCounts_; }
    const int64_t* withheldCounts() const { return withheldCounts_; }
    int64_t withheldTotal() const { return withheldTotal_; }
    bool hasClasses() const { return classification_ != nullptr || estimatedClasses_; }

private:
    void rebuild();
    void attachColumns(const PointAttributes& attributes, int64_t count,
                       const std::vector<int>& hiddenClasses, const std::vector<SceneFile>* files);
    // Whether record i's file has classes.
    bool classed(int64_t i) const { return origin_ == nullptr || fileClassed_[origin_[i]] != 0; }
    void hideAtStart(const std::vector<int>& hiddenClasses);

    const uint8_t* classification_ = nullptr;
    const uint8_t* flags_ = nullptr;
    // In a scene of several files: each record's file, and which files have classes.
    const uint16_t* origin_ = nullptr;
    std::vector<uint8_t> fileClassed_;
    int64_t count_ = 0;
    int64_t classCounts_[256] = {};
    int64_t withheldCounts_[256] = {};
    int64_t withheldTotal_ = 0;
    int64_t estimatedCounts_[256] = {};
    int64_t estimatedWithheld_[256] = {};
    bool estimated_ = false;
    bool estimatedClasses_ = false;
    uint64_t version_ = 0;
    uint64_t builtVersion_ = ~uint64_t(0);
    bool all_ = true;
    std::unique_ptr<uint32_t[]> drawn_;
    int64_t drawnCount_ = 0;
};
