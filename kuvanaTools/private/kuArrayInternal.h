// Rebuilding an array from a flat form of known length.
#ifndef KUVANATOOLS_PRIVATE_KUARRAYINTERNAL_H
#define KUVANATOOLS_PRIVATE_KUARRAYINTERNAL_H

#include <kuvanaTools/kuArray.h>

namespace ku {

// kuArray_UnFlatten, except that no item is read at or past limit bytes from
// data: a count larger than the data holds stops at its end, and data too
// short for the count itself gives an empty array.
kuArray *unflattenArray(const void *data, size_t limit, kuArrayUnFlattenerFunc unflattener);

} // namespace ku

#endif
