// tests/viewer/lod_tree_test.cpp - the nodes a view wants: cubes outside the view volume left
// out, refinement while the spacing covers more than a pixel, most wanted first, and the
// frames' budget.
#include "viewer/lod/lod_tree.h"
#include "viewer/matrices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

// A full octree over [0, 64]^3, every node holding 100 points spaced edge / 16 apart.
std::vector<LodNode> fullTree(int depth) {
    std::vector<LodNode> nodes(1);
    nodes[0].edge = 64.0;
    for (size_t at = 0; at < nodes.size(); ++at) {
        LodNode node = nodes[at];
        node.spacing = node.edge / 16.0;
        node.points = 100;
        if (node.key.level < depth) {
            node.firstChild = static_cast<int32_t>(nodes.size());
            node.children = 8;
            for (int c = 0; c < 8; ++c) {
                LodNode child;
                child.key = node.key.child(c);
                child.edge = node.edge / 2.0;
                for (int axis = 0; axis < 3; ++axis)
                    child.low[axis] = node.low[axis] + ((c >> axis) & 1) * child.edge;
                nodes.push_back(child);
            }
        }
        nodes[at] = node;
    }
    return nodes;
}

// An eye at (32, 32, eyeZ) looking along -z at the cube through a 60-degree perspective,
// 400 x 400 pixels.
View lookingDown(double eyeZ, double x = 32.0) {
    View view;
    identityMatrix(view.modelview);
    translateMatrix(view.modelview, -x, -32.0, -eyeZ);
    identityMatrix(view.projection);
    perspectiveMatrix(view.projection, 60.0, 1.0, 0.1, 1e6);
    view.viewport[2] = view.viewport[3] = 400;
    return view;
}

std::map<int, int> perLevel(const std::vector<LodNode>& nodes,
                            const std::vector<WantedNode>& wanted) {
    std::map<int, int> levels;
    for (const WantedNode& entry : wanted)
        ++levels[nodes[size_t(entry.node)].key.level];
    return levels;
}

} // namespace

// Far away the root alone; nearer, as many levels as the spacing needs; every wanted node but
// the root has a wanted parent whose spacing covers more than a pixel, and the order is by
// spacing on screen.
TEST(ChooseNodes, RefinesWhileTheSpacingCoversMoreThanAPixel) {
    std::vector<LodNode> nodes = fullTree(4);
    std::vector<WantedNode> wanted;
    // At 1e5 the root's spacing of 4 units covers 4 / 1e5 x 346 pixels.
    chooseNodes(nodes, lookingDown(1e5), 1.0, nullptr, wanted);
    ASSERT_EQ(wanted.size(), 1u);
    EXPECT_EQ(wanted[0].node, 0);
    EXPECT_NEAR(wanted[0].pixels, 4.0 / (1e5 - 64.0) * 200.0 * std::sqrt(3.0), 1e-9);

    for (double eyeZ : {2000.0, 500.0, 150.0, 120.0}) {
        SCOPED_TRACE(eyeZ);
        chooseNodes(nodes, lookingDown(eyeZ), 1.0, nullptr, wanted);
        std::vector<double> pixelsOf(nodes.size(), -1.0);
        for (const WantedNode& entry : wanted)
            pixelsOf[size_t(entry.node)] = entry.pixels;
        for (size_t i = 0; i < nodes.size(); ++i)
            for (int32_t c = 0; c < nodes[i].children; ++c) {
                const size_t child = size_t(nodes[i].firstChild + c);
                // Wanted exactly when the parent is and its spacing is over a pixel.
                EXPECT_EQ(pixelsOf[child] >= 0.0, pixelsOf[i] > 1.0) << nodes[child].key.text();
            }
        for (size_t k = 1; k < wanted.size(); ++k)
            EXPECT_GE(wanted[k - 1].pixels, wanted[k].pixels);
    }
    // Nearer goes deeper: the root alone at 2000 (0.7 pixels), three levels at 500, all five
    // at 150.
    chooseNodes(nodes, lookingDown(2000.0), 1.0, nullptr, wanted);
    EXPECT_EQ(wanted.size(), 1u);
    chooseNodes(nodes, lookingDown(500.0), 1.0, nullptr, wanted);
    EXPECT_EQ(perLevel(nodes, wanted).rbegin()->first, 2);
    chooseNodes(nodes, lookingDown(150.0), 1.0, nullptr, wanted);
    EXPECT_EQ(perLevel(nodes, wanted).rbegin()->first, 4);
}

// Nodes outside the view volume are left out, with everything below them: an eye close over
// the cube's lowest corner sees a corner of it. Every node with a point in view is there.
TEST(ChooseNodes, LeavesOutNodesOutsideTheView) {
    std::vector<LodNode> nodes = fullTree(3);
    std::vector<WantedNode> wanted;
    View view = lookingDown(70.0);
    identityMatrix(view.modelview);
    translateMatrix(view.modelview, -4.0, -4.0, -70.0);
    chooseNodes(nodes, view, 1e-9, nullptr, wanted);
    std::vector<bool> isWanted(nodes.size(), false);
    for (const WantedNode& entry : wanted)
        isWanted[size_t(entry.node)] = true;
    double planes[6][4];
    view.clipPlanes(planes);
    for (const LodNode& node : nodes) {
        bool seen = false;
        for (int i = 0; i <= 8 && !seen; ++i)
            for (int j = 0; j <= 8 && !seen; ++j)
                for (int k = 0; k <= 8 && !seen; ++k) {
                    const double p[3] = {node.low[0] + node.edge * i / 8,
                                         node.low[1] + node.edge * j / 8,
                                         node.low[2] + node.edge * k / 8};
                    bool inside = true;
                    for (const auto& plane : planes)
                        inside &=
                            plane[0] * p[0] + plane[1] * p[1] + plane[2] * p[2] + plane[3] >= 0;
                    seen = inside;
                }
        if (seen) {
            EXPECT_TRUE(isWanted[size_t(&node - nodes.data())]) << node.key.text();
        }
    }
    // At depth 70 the view is 80 units wide around (4, 4), at 38 (the upper half's bottom) 44:
    // the four lower level-1 nodes and the upper one nearest the corner.
    EXPECT_EQ(perLevel(nodes, wanted)[1], 5);
    EXPECT_LT(wanted.size(), nodes.size() / 2);
    // Looking away, nothing.
    translateMatrix(view.modelview, 0.0, 0.0, 500.0);
    chooseNodes(nodes, view, 1.0, nullptr, wanted);
    EXPECT_TRUE(wanted.empty());
}

// Children not known yet are asked for once a node is refined, and only then.
TEST(ChooseNodes, AsksForChildrenOnlyOfRefinedNodes) {
    std::vector<LodNode> nodes = fullTree(0);
    nodes[0].childrenKnown = false;
    int asked = 0;
    const ExpandNode expand = [&](int32_t index) {
        ++asked;
        LodNode& node = nodes[size_t(index)];
        const std::vector<LodNode> full = fullTree(1);
        node.firstChild = static_cast<int32_t>(nodes.size());
        node.children = 8;
        node.childrenKnown = true;
        nodes.insert(nodes.end(), full.begin() + 1, full.end());
    };
    std::vector<WantedNode> wanted;
    chooseNodes(nodes, lookingDown(1e5), 1.0, expand, wanted);
    EXPECT_EQ(asked, 0);
    chooseNodes(nodes, lookingDown(200.0), 1.0, expand, wanted);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(wanted.size(), 9u);
}

// A budget takes the most wanted nodes until the next would pass it (the first always), in key
// order; nodes that cannot be drawn yet are passed over, and the plan is complete only when
// every wanted node is in it.
TEST(PlanFrame, BudgetTakesTheMostWantedInKeyOrder) {
    std::vector<LodNode> nodes = fullTree(2);
    std::vector<WantedNode> wanted;
    chooseNodes(nodes, lookingDown(100.0), 1.0, nullptr, wanted);
    ASSERT_EQ(wanted.size(), nodes.size());

    LodPlan all = planFrame(nodes, wanted, -1, nullptr);
    EXPECT_TRUE(all.complete);
    EXPECT_EQ(all.points, 100 * int64_t(nodes.size()));
    EXPECT_TRUE(std::is_sorted(all.nodes.begin(), all.nodes.end(), [&](int32_t a, int32_t b) {
        return nodes[size_t(a)].key < nodes[size_t(b)].key;
    }));

    LodPlan some = planFrame(nodes, wanted, 450, nullptr);
    EXPECT_FALSE(some.complete);
    EXPECT_EQ(some.points, 400);
    std::vector<int32_t> firstFour;
    for (int k = 0; k < 4; ++k)
        firstFour.push_back(wanted[size_t(k)].node);
    std::sort(firstFour.begin(), firstFour.end(),
              [&](int32_t a, int32_t b) { return nodes[size_t(a)].key < nodes[size_t(b)].key; });
    EXPECT_EQ(some.nodes, firstFour);
    EXPECT_EQ(planFrame(nodes, wanted, 10, nullptr).points, 100) << "the first node always";

    // Only odd nodes are there: every one of them at rest, never complete.
    LodPlan odd = planFrame(nodes, wanted, -1, [](int32_t node) { return node % 2 == 1; });
    EXPECT_FALSE(odd.complete);
    EXPECT_EQ(odd.points, 100 * int64_t(nodes.size() / 2));
}
