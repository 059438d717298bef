// The reference DEFLATE decoder of the tests: the installer's first design, with direct-indexed code
// tables probed once per code length, kept to check the product's decoder against. It follows the same
// rules for what the format leaves open (output beyond the buffer, repeats without a previous length or
// past their sequence, unusable symbols) and throws the same texts. Not re-entrant: its tables are shared.
#pragma once

#include <windows.h>

DWORD ReferenceInflate(const BYTE* input, DWORD inputSize, BYTE* output, DWORD outputCapacity);
