/* The whole library's interface. */
#ifndef KUVANATOOLS_KUVANATOOLS_H
#define KUVANATOOLS_KUVANATOOLS_H

#include <kuvanaTools/kuDefs.h>
#include <kuvanaTools/kuFatalError.h>
#include <kuvanaTools/kuFloat.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuPrintf.h>
#include <kuvanaTools/kuUTF.h>
#include <kuvanaTools/kuUnicode.h>
#include <kuvanaTools/kuWString.h>

#endif /* KUVANATOOLS_KUVANATOOLS_H */
