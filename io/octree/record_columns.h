// io/octree/record_columns.h - a cloud's records and the attribute columns beside them, moved
// as one so that entry i of every column keeps describing record i.
#pragma once

#include "io/point_attributes.h"
#include "io/point_records.h"

#include <cstdint>
#include <cstring>
#include <utility>

class RecordColumns {
public:
    // Columns of another length than count are not the records' and are left alone.
    RecordColumns(PointRecord* records, int64_t count, PointAttributes* attributes) {
        records_ = records;
        if (!attributes)
            return;
        add(attributes->intensity, count);
        add(attributes->classification, count);
        add(attributes->returns, count);
        add(attributes->flags, count);
        add(attributes->scanAngle, count);
        add(attributes->userData, count);
        add(attributes->pointSource, count);
        add(attributes->gpsTime, count);
        add(attributes->origin, count);
    }

    const PointRecord& operator[](int64_t i) const { return records_[i]; }

    void swap(int64_t a, int64_t b) {
        std::swap(records_[a], records_[b]);
        for (int c = 0; c < columns_; ++c) {
            uint8_t* base = column_[c].base;
            switch (column_[c].size) {
                case 1:
                    std::swap(base[a], base[b]);
                    break;
                case 2:
                    swapBytes<2>(base + a * 2, base + b * 2);
                    break;
                default:
                    swapBytes<8>(base + a * 8, base + b * 8);
                    break;
            }
        }
    }

private:
    struct Column {
        uint8_t* base = nullptr;
        int size = 0;
    };

    template <class T> void add(std::vector<T>& column, int64_t count) {
        static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 8, "a column's entry size");
        if (column.empty() || static_cast<int64_t>(column.size()) != count)
            return;
        column_[columns_].base = reinterpret_cast<uint8_t*>(column.data());
        column_[columns_].size = sizeof(T);
        ++columns_;
    }

    template <int N> static void swapBytes(uint8_t* a, uint8_t* b) {
        uint8_t t[N];
        std::memcpy(t, a, N);
        std::memcpy(a, b, N);
        std::memcpy(b, t, N);
    }

    PointRecord* records_ = nullptr;
    Column column_[9];
    int columns_ = 0;
};
