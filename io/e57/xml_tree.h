// io/e57/xml_tree.h - an XML document as a plain tree, parsed by expat.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// One element: its qualified name as written (a prefix stays part of it), its attributes, its
// character data with every piece (CDATA included) joined, and its children in document order.
struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;
    std::vector<XmlElement> children;

    // The first child of that name, or nullptr.
    const XmlElement* child(const char* childName) const;
    // The attribute's value, or nullptr when it is absent.
    const std::string* attribute(const char* attributeName) const;
};

// Parses the whole document into root. False, with error set to one line naming expat's
// complaint and its line, on malformed XML or nesting deeper than the tree allows.
bool parseXml(const char* text, size_t size, XmlElement& root, std::string& error);
