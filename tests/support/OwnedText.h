// Strings returned by the library for the caller to free.
#pragma once

#include <kuvanaTools/kuMemory.h>

#include <string>

namespace kutest {

// The text of a returned string ("<null>" for null), which is released.
inline std::string take(char *text)
{
    std::string copy = text != nullptr ? text : "<null>";
    kuFree(text);
    return copy;
}

} // namespace kutest
