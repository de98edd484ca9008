// io/refused_readers.cpp - the refusal of compressed LAS.
#include "io/refused_readers.h"

#include <cstring>
#include <string>

ReadResult readLaz(const ReadRequest& request) {
    ReadResult result;
    result.status = ReadStatus::Refused;
    result.message = std::string(request.path) +
                     ": compressed LAS (LAZ) file; reading compressed LAS is not supported yet";
    return result;
}
