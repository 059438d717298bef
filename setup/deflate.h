// The installer's own DEFLATE decoder (raw RFC 1951 streams, no zlib header), used for the deflated
// members of ZIP archives. Each call keeps its state to itself, so decoders may run on several threads.
#pragma once

#include <windows.h>

// The failure texts of the decoder, thrown as cetl::exception.
extern const CHAR kInflateReadPastEnd[];     // "unzip read past end of stream"
extern const CHAR kInflateInvalidCode[];     // "unzip encountered invalid code index"
extern const CHAR kInflateInvalidLookback[]; // "unzip encountered invalid lookback index"
extern const CHAR kInflateBadContent[];      // "unable to deflate .ZIP file content"

// Decodes `inputSize` bytes of raw DEFLATE data into `output`, which holds `outputCapacity` bytes, and
// returns the number of bytes produced. Bytes after the final block are ignored. Throws a
// cetl::exception with one of the texts above on damaged data; output that would not fit in the buffer
// counts as damaged content ("unable to deflate .ZIP file content") and nothing is written past it.
// Never reads outside the input.
DWORD Inflate(const BYTE* input, DWORD inputSize, BYTE* output, DWORD outputCapacity);
