/* The whole library's interface. */
#ifndef KUVANATOOLS_KUVANATOOLS_H
#define KUVANATOOLS_KUVANATOOLS_H

#include <kuvanaTools/kuCustomHashTable.h>
#include <kuvanaTools/kuDefs.h>
#include <kuvanaTools/kuDictionary.h>
#include <kuvanaTools/kuFatalError.h>
#include <kuvanaTools/kuHashTable.h>
#include <kuvanaTools/kuHook.h>
#include <kuvanaTools/kuLongLong.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuPrintf.h>
#include <kuvanaTools/kuStringHashTable.h>
#include <kuvanaTools/kuUnicode.h>
#include <kuvanaTools/kuUTF.h>
#include <kuvanaTools/kuWString.h>

#endif /* KUVANATOOLS_KUVANATOOLS_H */
