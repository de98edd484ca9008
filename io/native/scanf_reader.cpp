// io/native/scanf_reader.cpp - the fscanf reader of the native format.
#include "io/native/scanf_reader.h"

#include "io/mapped_file.h"

#include <climits>
#include <cstdio>

ReadResult readPointFileScanf(const char* path) {
    ReadResult result;
    FILE* file = std::fopen(path, "r");
    if (file && isDirectory(fileno(file))) {
        std::fclose(file);
        file = nullptr;
    }
    if (!file) {
        result.status = ReadStatus::CannotOpen;
        return result;
    }

    // The count is scanned as 64 bits: "%d" would silently wrap a count such as 4294967298
    // to 2, whereas any count beyond the 32-bit range is simply one that can't be allocated.
    // A header that doesn't match leaves it at 0.
    long long declared = 0;
    std::fscanf(file, "# points = %lld\n", &declared);
    PointRecord* points = declared <= INT32_MAX ? allocatePoints(declared) : nullptr;
    if (!points) {
        std::fclose(file);
        result.status = ReadStatus::CannotAllocate;
        return result;
    }

    // Stop at the first record that doesn't scan completely: the records after it would be
    // misaligned guesses, and the unread ones must not be drawn as points at the origin.
    int32_t complete = 0;
    while (complete < declared) {
        PointRecord& p = points[complete];
        if (std::fscanf(file, "%f %f %f %f %f %f\n", &p.x, &p.y, &p.z, &p.r, &p.g, &p.b) != 6)
            break;
        ++complete;
    }
    std::fclose(file);

    result.points = points;
    result.count = complete;
    return result;
}
