// Library strings, borrowed or returned for the caller to free, as texts.
#pragma once

#include <kuvanaTools/kuMemory.h>

#include <string>

namespace kutest {

// A borrowed string for comparisons and messages ("<null>" for null).
inline std::string orNull(const char *s)
{
    return s != nullptr ? s : "<null>";
}

// The text of a returned string ("<null>" for null), which is released.
inline std::string take(char *text)
{
    std::string copy = orNull(text);
    kuFree(text);
    return copy;
}

} // namespace kutest
