// The format table: each image format (one format_*.cpp each) says how to
// know its bytes, what it can tell of an image without drawing it, and how
// it decodes and encodes pixels. The exporter and importer components, image
// compression and the importer's choice of format all look it up here.
// Internal to the imaging library.
#pragma once

#include "codecs.h"

#include <string>
#include <vector>

namespace imaging {

struct Format {
    OSType type;       // exporter/importer subtype
    OSType extension;  // default file name extension
    OSType codec;      // image compression codec type
    const char *codecName;
    const char *fileExtensions[2];  // lower case; the second may be 0
    const char *mimeTypes[2];
    bool pages;  // several images in one file

    // Whether the bytes begin as this format's do.
    bool (*sniff)(const uint8_t *data, size_t size);
    // Image `index` (from 0). codecErr for data the format's library
    // refuses, and for images beyond the size limits (size_limits.h).
    OSErr (*probe)(const uint8_t *data, size_t size, uint32_t index, codec::Info &out);
    OSErr (*decode)(const uint8_t *data, size_t size, uint32_t index, codec::Decoded &out);
    OSErr (*encode)(const codec::Image &img, const codec::Options &opt, std::vector<uint8_t> &out);
};

// The formats, in the order the component list gives them.
extern const Format kTIFFFormat, kJPEGFormat, kPNGFormat, kBMPFormat;

const Format *formatOf(OSType type);            // by subtype; 0 when unknown
const Format *formatOfCodec(OSType codecType);  // by compression codec; 0 when unknown
// By a file name's extension ("a/b.TIF") or a MIME type, any case; 0 when none.
const Format *formatOfFileName(const std::string &name);
const Format *formatOfMimeType(const std::string &mime);
// How many formats there are, and format `i` of the table (from 0; 0 past
// its end).
size_t formatCount();
const Format *formatAt(size_t i);

// The format of some bytes by content ('TIFF', 'JPEG', 'PNGf', 'BMPf'), or 0.
OSType sniff(const uint8_t *data, size_t size);
// Image `index` (from 0) of data in format `type`: paramErr for an index a
// format of one image does not have, noCodecErr for an unknown type.
OSErr probe(OSType type, const uint8_t *data, size_t size, uint32_t index, codec::Info &out);
OSErr decode(OSType type, const uint8_t *data, size_t size, uint32_t index, codec::Decoded &out);

}  // namespace imaging
