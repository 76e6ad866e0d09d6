// INI saving as the config file needs it.
#ifndef KUVANATOOLS_PRIVATE_KUINIFILEINTERNAL_H
#define KUVANATOOLS_PRIVATE_KUINIFILEINTERNAL_H

#include <kuvanaTools/kuDictionary.h>

#include <platform/kuOSFile.h>

namespace ku {

// Writes the text kuINIFile_SaveINIFile writes to an open file, leaving it
// open: false when a write failed (errno tells why), the file may then be
// short.
bool writeINIFile(kuFile *file, kuDictionary *ini);

} // namespace ku

#endif
