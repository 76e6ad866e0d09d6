/* The whole library's interface. */
#ifndef KUVANATOOLS_KUVANATOOLS_H
#define KUVANATOOLS_KUVANATOOLS_H

#include <kuvanaTools/kuAES128.h>
#include <kuvanaTools/kuBlowfish.h>
#include <kuvanaTools/kuDefs.h>
#include <kuvanaTools/kuFatalError.h>
#include <kuvanaTools/kuMD5.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuPrintf.h>
#include <kuvanaTools/kuRC4.h>
#include <kuvanaTools/kuSHA1.h>
#include <kuvanaTools/kuUTF.h>
#include <kuvanaTools/kuUnicode.h>
#include <kuvanaTools/kuWString.h>

#endif /* KUVANATOOLS_KUVANATOOLS_H */
