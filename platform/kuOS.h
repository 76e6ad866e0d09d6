/* Everything the platform layer offers. */
#ifndef KUOS_H
#define KUOS_H

#include <kuLog/Log.h>
#include <platform/kuOSFile.h>
#include <platform/kuOSMutex.h>
#include <platform/kuOSSocket.h>
#include <platform/kuOSSystem.h>
#include <platform/kuOSTime.h>

#endif /* KUOS_H */
