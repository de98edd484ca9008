// io/e57/xml_tree.cpp - expat callbacks that build an XmlElement tree.
#include "io/e57/xml_tree.h"

#include <expat.h>

#include <climits>
#include <cstring>

namespace {

// Deeper documents are refused: the tree's users walk it recursively, and no real file comes
// near this.
constexpr size_t maxDepth = 200;

struct Builder {
    XML_Parser parser = nullptr;
    XmlElement* root = nullptr;
    bool haveRoot = false;
    std::vector<XmlElement*> open; // the path from the root to the element being read
    bool tooDeep = false;
};

void XMLCALL startElement(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* b = static_cast<Builder*>(data);
    if (b->open.size() >= maxDepth) {
        b->tooDeep = true;
        XML_StopParser(b->parser, XML_FALSE);
        return;
    }
    XmlElement* element;
    if (b->open.empty()) {
        element = b->root;
        b->haveRoot = true;
    } else {
        // The parent's children may move when this one is added, but the parent itself does
        // not: only the innermost open element gains children.
        b->open.back()->children.emplace_back();
        element = &b->open.back()->children.back();
    }
    element->name = name;
    for (const XML_Char** a = attributes; a[0] != nullptr; a += 2)
        element->attributes.emplace_back(a[0], a[1]);
    b->open.push_back(element);
}

void XMLCALL endElement(void* data, const XML_Char*) {
    static_cast<Builder*>(data)->open.pop_back();
}

void XMLCALL characters(void* data, const XML_Char* text, int length) {
    auto* b = static_cast<Builder*>(data);
    if (!b->open.empty())
        b->open.back()->text.append(text, size_t(length));
}

} // namespace

const XmlElement* XmlElement::child(const char* childName) const {
    for (const XmlElement& c : children)
        if (c.name == childName)
            return &c;
    return nullptr;
}

const std::string* XmlElement::attribute(const char* attributeName) const {
    for (const auto& a : attributes)
        if (a.first == attributeName)
            return &a.second;
    return nullptr;
}

bool parseXml(const char* text, size_t size, XmlElement& root, std::string& error) {
    root = XmlElement();
    if (size > size_t(INT_MAX)) {
        error = "XML section too large";
        return false;
    }
    Builder b;
    b.root = &root;
    b.parser = XML_ParserCreate("UTF-8");
    if (b.parser == nullptr) {
        error = "cannot allocate the XML parser";
        return false;
    }
    XML_SetUserData(b.parser, &b);
    XML_SetElementHandler(b.parser, startElement, endElement);
    XML_SetCharacterDataHandler(b.parser, characters);
    const bool parsed = XML_Parse(b.parser, text, int(size), XML_TRUE) == XML_STATUS_OK;
    if (b.tooDeep)
        error = "XML nested deeper than " + std::to_string(maxDepth) + " elements";
    else if (!parsed)
        error = std::string("malformed XML (") + XML_ErrorString(XML_GetErrorCode(b.parser)) +
                " at line " + std::to_string(XML_GetCurrentLineNumber(b.parser)) + ")";
    XML_ParserFree(b.parser);
    return parsed && !b.tooDeep && b.haveRoot;
}
