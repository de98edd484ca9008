// io/file_signatures.h - naming what a file's first bytes look like, for refusals to say what
// they found.
#pragma once

#include <cstddef>
#include <string>

// What the first bytes of a file are, as a refusal names them after "it starts with": "a PNG
// signature" for the well-known signatures of images, archives, documents, programs and point
// formats; "the text \"hello wo...\"" for text; "the bytes 9f 3c 11 a0 ..." otherwise; "no bytes"
// for an empty head.
std::string describeHead(const unsigned char* head, size_t size);

// Whether the first bytes carry a well-known signature of something other than a point file
// (an image, an archive, a document, a program): then any refusal of the file says so.
bool hasForeignSignature(const unsigned char* head, size_t size);
