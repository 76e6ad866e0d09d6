/* The whole library's interface. */
#ifndef KUVANATOOLS_KUVANATOOLS_H
#define KUVANATOOLS_KUVANATOOLS_H

#include <kuvanaTools/kuAES128.h>
#include <kuvanaTools/kuArray.h>
#include <kuvanaTools/kuBase64.h>
#include <kuvanaTools/kuBitSet.h>
#include <kuvanaTools/kuBlowfish.h>
#include <kuvanaTools/kuBuffer.h>
#include <kuvanaTools/kuChrono.h>
#include <kuvanaTools/kuClock.h>
#include <kuvanaTools/kuConvert.h>
#include <kuvanaTools/kuCStringParser.h>
#include <kuvanaTools/kuCustomHashTable.h>
#include <kuvanaTools/kuDefs.h>
#include <kuvanaTools/kuDictionary.h>
#include <kuvanaTools/kuDLNATime.h>
#include <kuvanaTools/kuFatalError.h>
#include <kuvanaTools/kuHashTable.h>
#include <kuvanaTools/kuHook.h>
#include <kuvanaTools/kuLongLong.h>
#include <kuvanaTools/kuMD5.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuMimeTypeInfo.h>
#include <kuvanaTools/kuPackedData.h>
#include <kuvanaTools/kuPrintf.h>
#include <kuvanaTools/kuPtrList.h>
#include <kuvanaTools/kuRand.h>
#include <kuvanaTools/kuRC4.h>
#include <kuvanaTools/kuSHA1.h>
#include <kuvanaTools/kuSocketLog.h>
#include <kuvanaTools/kuSocketTracker.h>
#include <kuvanaTools/kuStringEscaper.h>
#include <kuvanaTools/kuStringHashTable.h>
#include <kuvanaTools/kuStringSubstitution.h>
#include <kuvanaTools/kuTelnet.h>
#include <kuvanaTools/kuTime.h>
#include <kuvanaTools/kuUnicode.h>
#include <kuvanaTools/kuURI.h>
#include <kuvanaTools/kuUTF.h>
#include <kuvanaTools/kuUUID.h>
#include <kuvanaTools/kuWString.h>

#endif /* KUVANATOOLS_KUVANATOOLS_H */
