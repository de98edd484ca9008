// io/formats.cpp - the format table and the pick of a reader: signature, extension, resemblance.
#include "io/formats.h"

#include "io/copc/copc_file.h"
#include "io/copc/copc_reader.h"
#include "io/e57/e57_reader.h"
#include "io/ept/ept_reader.h"
#include "io/las/las_reader.h"
#include "io/las/laz_reader.h"
#include "io/native/native_reader.h"
#include "io/obj_reader.h"
#include "io/pcd/pcd_reader.h"
#include "io/ply/ply_reader.h"
#include "io/text_columns_reader.h"

#include <cstring>
#include <string>

namespace {

// Signatures first, in this order; the native format's "#" comes after formats whose headers
// may also start with a comment line, and an octree file, a LAZ file too, before LAZ.
// clang-format off
const FormatEntry kFormats[] = {
    {Format::Ply, "PLY file", ".ply", hasPlySignature, "no \"ply\" first line", nullptr,
     readPly},
    {Format::Las, "LAS file", ".las", hasLasSignature, "no LASF signature", nullptr, readLas},
    {Format::Copc, "LAZ file", "", hasCopcSignature, "no LASF signature", nullptr, readCopc},
    {Format::Laz, "LAZ file", ".laz", hasLazSignature, "no LASF signature", nullptr, readLaz},
    {Format::E57, "E57 file", ".e57", hasE57Signature, "no ASTM-E57 signature", nullptr,
     readE57},
    {Format::Pcd, "PCD file", ".pcd", hasPcdSignature,
     "no PCD header (# .PCD, VERSION or FIELDS first)", nullptr, readPcd},
    {Format::Ept, "EPT dataset", ".json", hasEptSignature,
     "no \"bounds\" with \"dataType\" or \"schema\" in its first bytes", nullptr, readEpt},
    {Format::Native, "native file", "", hasNativeSignature, nullptr, nullptr, readNative},
    {Format::Pts, "PTS file", ".pts", nullptr, nullptr, nullptr, readPts},
    {Format::Obj, "OBJ file", ".obj", nullptr, nullptr, nullptr, readObj},
    {Format::ColumnText, "column text", ".xyz .txt .csv .asc", nullptr, nullptr,
     resemblesColumnText, readColumnText},
};
// clang-format on

std::string lowerExtension(const char* path) {
    const char* slash = std::strrchr(path, '/');
    const char* dot = std::strrchr(slash ? slash : path, '.');
    std::string extension = dot ? dot : "";
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return extension;
}

bool listed(const char* extensions, const std::string& extension) {
    if (extension.size() < 2)
        return false;
    for (const char* at = std::strstr(extensions, extension.c_str()); at;
         at = std::strstr(at + 1, extension.c_str())) {
        const char after = at[extension.size()];
        if ((at == extensions || at[-1] == ' ') && (after == '\0' || after == ' '))
            return true;
    }
    return false;
}

} // namespace

const FormatEntry& formatEntry(Format format) {
    for (const FormatEntry& entry : kFormats)
        if (entry.format == format)
            return entry;
    return kFormats[0];
}

const FormatEntry* formatByExtension(const char* path) {
    const std::string extension = lowerExtension(path);
    for (const FormatEntry& entry : kFormats)
        if (listed(entry.extensions, extension))
            return &entry;
    return nullptr;
}

const FormatEntry* pickFormat(const char* path, const unsigned char* head, size_t size,
                              bool mapped) {
    // What cannot be mapped (a pipe) has always been read as a native file.
    if (!mapped)
        return &formatEntry(Format::Native);
    for (const FormatEntry& entry : kFormats)
        if (entry.signature && entry.signature(head, size))
            return &entry;
    if (const FormatEntry* entry = formatByExtension(path))
        return entry;
    for (const FormatEntry& entry : kFormats)
        if (entry.resembles && entry.resembles(head, size))
            return &entry;
    return nullptr;
}
