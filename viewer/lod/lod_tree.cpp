// viewer/lod/lod_tree.cpp - culling nodes by the view volume, sizing their spacing on screen,
// and the walk that refines the largest first.
#include "viewer/lod/lod_tree.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <queue>

namespace {

bool keyBefore(const CopcKey& a, const CopcKey& b) {
    return a < b;
}

// Whether any of the cube lies on the inner side of every plane: for each plane, the corner
// farthest along its normal.
bool inView(const LodNode& node, const double planes[6][4]) {
    for (int plane = 0; plane < 6; ++plane) {
        const double* p = planes[plane];
        double reach = p[3];
        for (int axis = 0; axis < 3; ++axis)
            reach += p[axis] * (p[axis] >= 0.0 ? node.low[axis] + node.edge : node.low[axis]);
        if (reach < 0.0)
            return false;
    }
    return true;
}

// The depth in front of the eye of the cube's nearest point (the eye looks along -z).
double nearestDepth(const LodNode& node, const double modelview[16]) {
    double z = modelview[14];
    for (int axis = 0; axis < 3; ++axis) {
        const double along = modelview[2 + 4 * axis];
        z += along * (along >= 0.0 ? node.low[axis] + node.edge : node.low[axis]);
    }
    return -z;
}

struct MostWanted {
    const std::vector<LodNode>* nodes;
    // std::priority_queue puts the greatest first: "less wanted" is the order.
    bool operator()(const WantedNode& a, const WantedNode& b) const {
        if (a.pixels != b.pixels)
            return a.pixels < b.pixels;
        return keyBefore((*nodes)[size_t(b.node)].key, (*nodes)[size_t(a.node)].key);
    }
};

} // namespace

double pixelsPerUnitAtUnitDepth(const View& view) {
    return std::max(std::abs(view.projection[0]) * view.viewport[2],
                    std::abs(view.projection[5]) * view.viewport[3]) *
           0.5;
}

void chooseNodes(std::vector<LodNode>& nodes, const View& view, double refinePixels,
                 const ExpandNode& expand, std::vector<WantedNode>& wanted) {
    wanted.clear();
    if (nodes.empty())
        return;
    double planes[6][4];
    view.clipPlanes(planes);
    const double scale = pixelsPerUnitAtUnitDepth(view);
    // A perspective projection divides by the depth; an orthographic one does not.
    const bool perspective = view.projection[11] != 0.0;
    auto sized = [&](int32_t index) {
        const LodNode& node = nodes[size_t(index)];
        WantedNode entry{index, node.spacing * scale};
        if (perspective) {
            const double depth = nearestDepth(node, view.modelview);
            entry.pixels =
                depth > 0.0 ? entry.pixels / depth : std::numeric_limits<double>::infinity();
        }
        return entry;
    };

    std::priority_queue<WantedNode, std::vector<WantedNode>, MostWanted> queue(MostWanted{&nodes});
    if (inView(nodes[0], planes))
        queue.push(sized(0));
    while (!queue.empty()) {
        const WantedNode next = queue.top();
        queue.pop();
        wanted.push_back(next);
        if (!(next.pixels > refinePixels))
            continue;
        if (!nodes[size_t(next.node)].childrenKnown && expand)
            expand(next.node);
        // expand may have moved the table.
        const LodNode& node = nodes[size_t(next.node)];
        for (int32_t c = 0; c < node.children; ++c)
            if (inView(nodes[size_t(node.firstChild + c)], planes))
                queue.push(sized(node.firstChild + c));
    }
}

LodPlan planFrame(const std::vector<LodNode>& nodes, const std::vector<WantedNode>& wanted,
                  int64_t budget, const std::function<bool(int32_t)>& drawable) {
    LodPlan plan;
    plan.complete = true;
    for (const WantedNode& entry : wanted) {
        if (drawable && !drawable(entry.node)) {
            plan.complete = false;
            continue;
        }
        const int64_t points = nodes[size_t(entry.node)].points;
        if (budget >= 0 && !plan.nodes.empty() && plan.points + points > budget) {
            plan.complete = false;
            break;
        }
        plan.nodes.push_back(entry.node);
        plan.points += points;
    }
    std::sort(plan.nodes.begin(), plan.nodes.end(), [&](int32_t a, int32_t b) {
        return keyBefore(nodes[size_t(a)].key, nodes[size_t(b)].key);
    });
    return plan;
}
