// INI saving as the config file needs it.
#ifndef KUVANATOOLS_PRIVATE_KUINIFILEINTERNAL_H
#define KUVANATOOLS_PRIVATE_KUINIFILEINTERNAL_H

#include <kuvanaTools/kuDictionary.h>

namespace ku {

// kuINIFile_SaveINIFile that also fails (0) when a write or the close fails,
// that is when the file may not hold the whole text on stable storage.
int saveINIFileChecked(const char *path, kuDictionary *ini);

} // namespace ku

#endif
