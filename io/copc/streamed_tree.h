// io/copc/streamed_tree.h - what the node cache needs of an octree read node by node, whatever
// holds it: an octree LAZ file or a tiled dataset.
#pragma once

#include "io/copc/copc_file.h"
#include "io/copc/copc_hierarchy.h"
#include "io/copc/copc_key.h"
#include "io/point_attributes.h"
#include "io/point_records.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Decodes one node at a time into points stored as float(file - shift); its buffers are its
// own, so each thread that decodes keeps one.
class StreamedNodeDecoder {
public:
    virtual ~StreamedNodeDecoder() = default;
    // Node's points (node.points of them; with an Intensity colour the raw intensity in r, g
    // and b) into points, and when attributes is not null the octree's attribute columns into
    // it, both resized. Its data are read here, or taken from fetched (StreamedTree::fetch),
    // which may be left empty. False with one line naming the node when it cannot be read or
    // is corrupt.
    virtual bool decode(const CopcNode& node, std::vector<uint8_t>* fetched,
                        std::vector<PointRecord>& points, PointAttributes* attributes,
                        std::string& error) = 0;
};

// An octree whose index is walked as views need it and whose nodes are decoded on demand. The
// index calls (find, children, childrenRead, takeDamage) come from one thread at a time;
// readPage, fetch and the decoders made by decoder() work on others at the same time. A node's
// offset and bytes mean what the holder makes of them.
class StreamedTree {
public:
    virtual ~StreamedTree() = default;

    // The node named key, reading the index as needed; false when there is none.
    virtual bool find(const CopcKey& key, CopcNode& node) = 0;
    // The children of key that the index holds, in child order.
    virtual std::vector<CopcNode> children(const CopcKey& key) = 0;
    // The children as children gives them when the index pages that may hold them are read;
    // otherwise false, with those pages (named by key) in pages, and nothing read here: a walk
    // that must not wait for a page has readPage read it elsewhere.
    virtual bool childrenRead(const CopcKey& key, std::vector<CopcNode>& children,
                              std::vector<CopcKey>& pages) = 0;
    // Reads the index page childrenRead named, on any thread; once it returns, the index calls
    // see the page's nodes (or its damage). At once when the page is read already.
    virtual void readPage(const CopcKey& page) = 0;
    // The damage the index met since the last call, one line each.
    virtual std::vector<std::string> takeDamage() = 0;

    // Node key's cube and the nominal distance between points at a level, in file coordinates.
    virtual CopcCube cube(const CopcKey& key) const = 0;
    virtual double spacing(int level) const = 0;
    // The points and box the description declares, before any node is decoded.
    virtual uint64_t declaredPoints() const = 0;
    virtual void declaredBox(double low[3], double high[3]) const = 0;
    // Rgb, Intensity (left raw for the cache to scale) or None (the cache paints heights).
    virtual ColourKind colour() const = 0;
    // The attribute columns the nodes carry (AttributeBit values); none by default.
    virtual uint32_t attributes() const { return 0; }
    // The format line the viewer shows for it.
    virtual std::string formatLine() const = 0;
    // The file's own step per axis (0 when it has none).
    virtual void precision(double step[3]) const = 0;

    // Reads node's data (a chunk, a node file) for a decoder to take, on any thread; false
    // with one line naming the node. bytes is what the read will be, 0 when not known before.
    virtual bool fetch(const CopcNode& node, std::vector<uint8_t>& data,
                       std::string& error) const = 0;
    virtual int64_t fetchBytes(const CopcNode& node) const = 0;

    // A decoder for one thread, storing positions against shift.
    virtual std::unique_ptr<StreamedNodeDecoder> decoder(const double shift[3]) const = 0;
};
