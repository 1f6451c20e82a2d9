// Numeric data files: text of numbers separated by spaces and commas, read into the element block of a
// data buffer whose descriptor supplies none.
#pragma once

#include "gfx/resource_desc.h"

namespace Orvo::Gfx {

// Fills source.elements and source.elementCount from the file named by source.path and returns the block
// it allocated (the caller frees it with free()). A file that cannot be read, is too large, or an element
// type outside the table gives no elements: elementCount 0, elements null, one line on stderr saying why.
void* loadNumericFile(DataSourceDesc& source);
// The same from a NUL-terminated text in memory, which is changed while it is read and left as it was;
// source.path only names the text in a message.
void* loadNumericText(char* text, DataSourceDesc& source);

// Bytes per element of an ElementType; 0 for a code outside the table.
uint32_t elementSize(int32_t elementType);

// The element count of a NUL-terminated text, and its conversion into `elements` (room for that many).
// A token starts at a character other than space, comma and line feed and runs to the next space, comma or
// the end: a line feed directly after a number stays inside the token, and the conversion then stops at
// it, so only that first number counts.
uint32_t countNumericTokens(const char* text);
void convertNumericTokens(char* text, int32_t elementType, void* elements);

} // namespace Orvo::Gfx
