// io/refused_readers.cpp - the refusals of compressed LAS and E57.
#include "io/refused_readers.h"

#include <cstring>
#include <string>

bool hasE57Signature(const unsigned char* head, size_t size) {
    return size >= 8 && std::memcmp(head, "ASTM-E57", 8) == 0;
}

ReadResult readLaz(const ReadRequest& request) {
    ReadResult result;
    result.status = ReadStatus::Refused;
    result.message = std::string(request.path) +
                     ": compressed LAS (LAZ) file; reading compressed LAS is not supported yet";
    return result;
}

ReadResult readE57(const ReadRequest& request) {
    ReadResult result;
    result.status = ReadStatus::Refused;
    result.message = std::string(request.path) + ": E57 file; reading E57 is not supported yet";
    return result;
}
