// tests/support/small_las.h - writes a LAS 1.2 file of point format 3 (positions, attributes,
// 16-bit colours) from integer records, for tests that need a file's exact coordinates.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

struct SmallLasPoint {
    int32_t x, y, z; // stored integers: the coordinate is value * scale + offset
    uint16_t red, green, blue;
    uint16_t intensity = 0;
    uint8_t classification = 1;
};

struct SmallLas {
    double scale[3] = {0.01, 0.01, 0.01};
    double offset[3] = {0.0, 0.0, 0.0};
    std::vector<SmallLasPoint> points;

    double coordinate(const SmallLasPoint& p, int axis) const {
        const int32_t stored = axis == 0 ? p.x : axis == 1 ? p.y : p.z;
        return stored * scale[axis] + offset[axis];
    }

    bool write(const std::string& path) const {
        constexpr int kHeader = 227, kRecord = 34;
        std::vector<unsigned char> bytes(kHeader + points.size() * kRecord, 0);
        auto put = [&](size_t at, const void* value, size_t size) {
            std::memcpy(&bytes[at], value, size);
        };
        auto put16 = [&](size_t at, uint16_t v) { put(at, &v, 2); };
        auto put32 = [&](size_t at, uint32_t v) { put(at, &v, 4); };
        put(0, "LASF", 4);
        bytes[24] = 1;
        bytes[25] = 2;
        put16(94, kHeader);
        put32(96, kHeader);
        bytes[104] = 3;
        put16(105, kRecord);
        put32(107, static_cast<uint32_t>(points.size()));
        put32(111, static_cast<uint32_t>(points.size()));
        put(131, scale, 24);
        put(155, offset, 24);
        for (int axis = 0; axis < 3; ++axis) {
            double low = 0, high = 0;
            for (size_t i = 0; i < points.size(); ++i) {
                const double v = coordinate(points[i], axis);
                low = i == 0 ? v : std::min(low, v);
                high = i == 0 ? v : std::max(high, v);
            }
            put(179 + size_t(axis) * 16, &high, 8);
            put(187 + size_t(axis) * 16, &low, 8);
        }
        for (size_t i = 0; i < points.size(); ++i) {
            const SmallLasPoint& p = points[i];
            const size_t at = kHeader + i * kRecord;
            put(at, &p.x, 4);
            put(at + 4, &p.y, 4);
            put(at + 8, &p.z, 4);
            put16(at + 12, p.intensity);
            bytes[at + 14] = 0x09; // return 1 of 1
            bytes[at + 15] = p.classification;
            put16(at + 28, p.red);
            put16(at + 30, p.green);
            put16(at + 32, p.blue);
        }
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return bool(out);
    }
};
