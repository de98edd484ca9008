// io/octree/octree_builder.cpp - the octree built level by level: each node samples its run on a
// grid, moves the sample to the front and partitions the rest by child, all in place.
#include "io/octree/octree_builder.h"

#include "io/octree/record_columns.h"
#include "threads/worker_pool.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace {

constexpr int kFinestGrid = 128;

// A node still to be built: its key and its run of records.
struct Task {
    CopcKey key;
    int64_t begin = 0, end = 0;
};

// What building a node decided.
struct Outcome {
    uint32_t count = 0;
    float spacing = 0.0f;
    int64_t childEnd[8] = {}; // the end of each child's run; a child's run starts at the last end
    uint8_t childMask = 0;
};

// Bits for the cells of a node's grids: the finest grid, `finest` cells a side, and each coarser
// one (`finest >> level` a side), made from the finer one only when that holds too many.
class CellGrids {
public:
    void prepare(int finest) {
        finest_ = finest;
        levels_ = 0;
        for (int side = finest; side >= 1; side /= 2)
            ++levels_;
        bits_.assign(wordsFor(finest), 0);
        coarse_.assign(wordsFor(std::max(finest / 2, 1)), 0);
        seen_.assign(wordsFor(finest), 0);
    }
    size_t bytes() const {
        return (bits_.capacity() + coarse_.capacity() + seen_.capacity()) * sizeof(uint64_t);
    }
    int levels() const { return levels_; }
    int side(int level) const { return finest_ >> level; }

    void clear() { std::fill(bits_.begin(), bits_.end(), 0); }
    void occupy(const int cell[3]) {
        const size_t at = index(cell, 0);
        bits_[at / 64] |= uint64_t(1) << (at % 64);
    }
    // The level of the finest grid whose occupied cells number no more than most.
    int finestWithin(int64_t most) {
        int64_t count = 0;
        for (uint64_t word : bits_)
            count += __builtin_popcountll(word);
        // Each coarser grid's cells from the finer one's, the two grids taking turns in bits_
        // and coarse_ (the finest is not needed once the next is made).
        std::vector<uint64_t>* finer = &bits_;
        std::vector<uint64_t>* coarser = &coarse_;
        int level = 0;
        for (; count > most && level + 1 < levels_; ++level) {
            const size_t side = size_t(finest_ >> (level + 1)), finerSide = side * 2;
            std::fill(coarser->begin(), coarser->begin() + long(wordsFor(int(side))), 0);
            count = 0;
            for (size_t w = 0; w < wordsFor(int(finerSide)); ++w)
                for (uint64_t word = (*finer)[w]; word; word &= word - 1) {
                    const size_t cell = w * 64 + size_t(__builtin_ctzll(word));
                    const size_t z = cell % finerSide, y = cell / finerSide % finerSide,
                                 x = cell / finerSide / finerSide;
                    const size_t at = (x / 2 * side + y / 2) * side + z / 2;
                    uint64_t& out = (*coarser)[at / 64];
                    const uint64_t bit = uint64_t(1) << (at % 64);
                    count += (out & bit) == 0;
                    out |= bit;
                }
            std::swap(finer, coarser);
        }
        return level;
    }

    // The sample's pass: whether the point is the first seen in its cell of the level's grid.
    void startSample(int level) {
        std::fill(seen_.begin(), seen_.begin() + long(wordsFor(finest_ >> level)), 0);
    }
    bool firstInCell(const int cell[3], int level) {
        const size_t at = index(cell, level);
        uint64_t& word = seen_[at / 64];
        const uint64_t bit = uint64_t(1) << (at % 64);
        if (word & bit)
            return false;
        word |= bit;
        return true;
    }

private:
    static size_t wordsFor(int side) { return (size_t(side) * side * side + 63) / 64; }
    size_t index(const int cell[3], int level) const {
        const size_t side = size_t(finest_ >> level);
        return (size_t(cell[0] >> level) * side + size_t(cell[1] >> level)) * side +
               size_t(cell[2] >> level);
    }

    int finest_ = 0;
    int levels_ = 0;
    std::vector<uint64_t> bits_;
    std::vector<uint64_t> coarse_;
    std::vector<uint64_t> seen_;
};

class Builder {
public:
    Builder(PointRecord* records, int64_t count, PointAttributes* attributes,
            const OctreeOptions& options, Octree& octree)
        : columns_(records, count, attributes), records_(records), count_(count), options_(options),
          octree_(octree) {
        finest_ = kFinestGrid;
        while (finest_ > 1 && finest_ > options.grid)
            finest_ /= 2;
        nodePoints_ = std::max<uint32_t>(options.nodePoints, 1);
        deepest_ = std::clamp(options.deepest, 0, kCopcDeepestLevel);
    }

    bool build(OctreeBuildStats* stats);

private:
    bool cancelled() const {
        return options_.cancel && options_.cancel->load(std::memory_order_relaxed);
    }
    void placeFinite();
    void chooseRootCube();
    void buildNode(const Task& task, CellGrids& grids, Outcome& outcome);
    void cellOf(const PointRecord& p, const OctreeCube& cube, double scale, int cell[3]) const {
        const double v[3] = {p.x, p.y, p.z};
        for (int axis = 0; axis < 3; ++axis) {
            const double t = (v[axis] - cube.low[axis]) * scale;
            cell[axis] = t > 0.0 ? std::min(static_cast<int>(t), finest_ - 1) : 0;
        }
    }

    RecordColumns columns_;
    PointRecord* records_;
    int64_t count_;
    const OctreeOptions& options_;
    Octree& octree_;
    int finest_ = kFinestGrid;
    uint32_t nodePoints_ = 1;
    int deepest_ = 0;
};

// Records whose position is not finite go to the end, out of every node.
void Builder::placeFinite() {
    int64_t placed = 0;
    for (int64_t i = 0; i < count_; ++i)
        if (finitePosition(records_[i])) {
            if (i != placed)
                columns_.swap(i, placed);
            ++placed;
        }
    octree_.placed = placed;
}

void Builder::chooseRootCube() {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    struct Box {
        double low[3] = {kInfinity, kInfinity, kInfinity};
        double high[3] = {-kInfinity, -kInfinity, -kInfinity};
    };
    std::vector<Box> parts(kMostParts);
    runInParts(octree_.placed, options_.threads, 1 << 18,
               [&](int64_t begin, int64_t end, int part) {
                   Box& box = parts[size_t(part)];
                   for (int64_t i = begin; i < end; ++i) {
                       const double v[3] = {records_[i].x, records_[i].y, records_[i].z};
                       for (int axis = 0; axis < 3; ++axis) {
                           box.low[axis] = std::min(box.low[axis], v[axis]);
                           box.high[axis] = std::max(box.high[axis], v[axis]);
                       }
                   }
               });
    Box box;
    for (const Box& part : parts)
        for (int axis = 0; axis < 3; ++axis) {
            box.low[axis] = std::min(box.low[axis], part.low[axis]);
            box.high[axis] = std::max(box.high[axis], part.high[axis]);
        }
    double edge = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        if (octree_.placed == 0)
            box.low[axis] = box.high[axis] = 0.0;
        octree_.root.low[axis] = box.low[axis];
        edge = std::max(edge, box.high[axis] - box.low[axis]);
    }
    // Identical points still need a cube with room for cells.
    octree_.root.edge = edge > 0.0 ? edge : 1.0;
}

void Builder::buildNode(const Task& task, CellGrids& grids, Outcome& outcome) {
    const int64_t n = task.end - task.begin;
    const OctreeCube cube = octree_.cube(task.key);
    if (n <= int64_t(nodePoints_) || task.key.level >= deepest_) {
        outcome.count = static_cast<uint32_t>(n);
        outcome.spacing = static_cast<float>(cube.edge / finest_);
        for (int i = 0; i < 8; ++i)
            outcome.childEnd[i] = task.end;
        return;
    }

    // Cells of every grid the points occupy, then the finest grid whose sample fits.
    const double scale = finest_ / cube.edge;
    grids.clear();
    int cell[3];
    for (int64_t i = task.begin; i < task.end; ++i) {
        cellOf(columns_[i], cube, scale, cell);
        grids.occupy(cell);
    }
    const int level = grids.finestWithin(int64_t(nodePoints_));

    // The first point of each cell, in the run's order, moves to the front.
    grids.startSample(level);
    int64_t sampled = task.begin;
    for (int64_t i = task.begin; i < task.end; ++i) {
        cellOf(columns_[i], cube, scale, cell);
        if (grids.firstInCell(cell, level)) {
            if (i != sampled)
                columns_.swap(i, sampled);
            ++sampled;
        }
    }
    outcome.count = static_cast<uint32_t>(sampled - task.begin);
    outcome.spacing = static_cast<float>(cube.edge / grids.side(level));

    // The rest by child, in child order: bit 0 the upper half in x, bit 1 in y, bit 2 in z. The
    // middle is the upper children's lowest corner, as the table gives it.
    const OctreeCube upper = octree_.cube(task.key.child(7));
    const double* middle = upper.low;
    auto childOf = [&](const PointRecord& p) {
        return (p.x >= middle[0] ? 1 : 0) | (p.y >= middle[1] ? 2 : 0) | (p.z >= middle[2] ? 4 : 0);
    };
    int64_t counts[8] = {};
    for (int64_t i = sampled; i < task.end; ++i)
        ++counts[childOf(columns_[i])];
    int64_t next[8], end[8];
    int64_t at = sampled;
    for (int c = 0; c < 8; ++c) {
        next[c] = at;
        at += counts[c];
        end[c] = at;
        outcome.childEnd[c] = at;
        if (counts[c] > 0)
            outcome.childMask |= uint8_t(1u << c);
    }
    // Each record is swapped straight into the next free place of its child's run.
    for (int c = 0; c < 8; ++c)
        while (next[c] < end[c]) {
            const int to = childOf(columns_[next[c]]);
            if (to == c)
                ++next[c];
            else
                columns_.swap(next[c], next[to]++);
        }
}

bool Builder::build(OctreeBuildStats* stats) {
    octree_ = Octree();
    if (count_ > int64_t(UINT32_MAX))
        return false;
    placeFinite();
    chooseRootCube();

    const int threads = std::clamp(options_.threads, 1, kMostParts);
    std::vector<CellGrids> grids(static_cast<size_t>(threads));
    std::vector<Task> level = {Task{CopcKey(), 0, octree_.placed}};
    size_t temporary = 0;
    while (!level.empty()) {
        if (cancelled()) {
            octree_ = Octree();
            return false;
        }
        // Nodes of a level own disjoint runs, so they are built at once on the threads, largest
        // first; what each decides depends on its run alone.
        std::vector<Outcome> outcomes(level.size());
        std::vector<size_t> order(level.size());
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return level[a].end - level[a].begin > level[b].end - level[b].begin;
        });
        std::atomic<size_t> next{0};
        runInParts(threads, threads, 1, [&](int64_t, int64_t, int part) {
            CellGrids& mine = grids[size_t(part)];
            for (size_t k; (k = next.fetch_add(1)) < level.size() && !cancelled();) {
                const Task& task = level[order[k]];
                if (mine.levels() == 0 && task.end - task.begin > int64_t(nodePoints_))
                    mine.prepare(finest_);
                buildNode(task, mine, outcomes[order[k]]);
            }
        });
        if (cancelled()) {
            octree_ = Octree();
            return false;
        }

        // The level's nodes in order, then the next level: each node's children in child order.
        const size_t levelStart = octree_.nodes.size();
        const size_t nextStart = levelStart + level.size();
        std::vector<Task> below;
        for (size_t i = 0; i < level.size(); ++i) {
            const Task& task = level[i];
            const Outcome& outcome = outcomes[i];
            OctreeNode node;
            node.key = task.key;
            node.first = task.begin;
            node.subtreeEnd = task.end;
            node.count = outcome.count;
            node.spacing = outcome.spacing;
            node.childMask = outcome.childMask;
            if (outcome.childMask)
                node.firstChild = static_cast<int32_t>(nextStart + below.size());
            int64_t from = task.begin + outcome.count;
            for (int c = 0; c < 8; ++c) {
                if (outcome.childMask & (1u << c))
                    below.push_back(Task{task.key.child(c), from, outcome.childEnd[c]});
                from = outcome.childEnd[c];
            }
            octree_.nodes.push_back(node);
        }
        temporary = std::max(temporary, (level.capacity() + below.capacity()) * sizeof(Task) +
                                            outcomes.capacity() * sizeof(Outcome) +
                                            order.capacity() * sizeof(size_t));
        level.swap(below);
    }
    if (stats) {
        size_t grid = 0;
        for (const CellGrids& g : grids)
            grid += g.bytes();
        stats->temporaryBytes = temporary + grid + octree_.bytes();
    }
    return true;
}

} // namespace

bool buildOctree(PointRecord* records, int64_t count, PointAttributes* attributes,
                 const OctreeOptions& options, Octree& octree, OctreeBuildStats* stats) {
    Builder builder(records, std::max<int64_t>(count, 0), attributes, options, octree);
    return builder.build(stats);
}
