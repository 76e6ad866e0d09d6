// Socket policies: replaceable network decisions with defaults on the
// platform layer's address functions.
#include <kuvanaTools/kuCStringParser.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuSocketPolicy.h>
#include <platform/kuOSSocket.h>

#include <stddef.h>
#include <string.h>

struct kuSocketPolicy {
    uint32_t mode;
    void *userData;
    kuSocketPolicy_AcceptConnectionFunc acceptConnection;
    kuSocketPolicy_GetIPAddressListFunc getIPAddressList;
    kuSocketPolicy_MapLocalIPAddressToLoopBackFunc mapLocalIPAddressToLoopBack;
    kuSocketPolicy_IsValidIFFunc isValidIF;
    char *excludeText;
    kuCStringTokenList *excludePatterns;
    kuSocketQOS *qos;
};

static_assert(offsetof(kuSocketPolicy, mode) == 0, "mode comes first");
static_assert(sizeof(((kuSocketPolicy *)nullptr)->mode) == 4, "mode is a 32-bit word");

namespace {

enum { kModeLocalHost = 3, kModeNoLoopBack = 2 };

uint32_t modeOf(const kuSocketPolicy *policy)
{
    return policy != nullptr ? policy->mode & 3 : 0;
}

int defaultIsValidIF(kuSocketPolicy *policy, const char *name)
{
    if (name == nullptr)
        return 0;
    if (policy == nullptr || policy->excludePatterns == nullptr)
        return 1;
    for (const kuCStringToken *t = policy->excludePatterns->first; t != nullptr; t = t->next) {
        if (t->length > 0 && kuCStringParser_Match(t->text, name))
            return 0;
    }
    return 1;
}

void dropConfiguration(kuSocketPolicy *policy)
{
    kuSocketQOS_Delete(policy->qos);
    policy->qos = nullptr;
    kuCStringParser_Delete(policy->excludePatterns);
    policy->excludePatterns = nullptr;
    kuFree(policy->excludeText);
    policy->excludeText = nullptr;
}

// Cuts the owned copy of the list into zero-terminated patterns: each
// token's end (a comma, a trimmed blank, a closing quote or the copy's own
// end) becomes its terminator.
void setExcludeList(kuSocketPolicy *policy, const char *list)
{
    size_t length = strlen(list);
    policy->excludeText = kuStrdup(list);
    policy->excludePatterns = kuCStringParser_TokenizeQuotedList(policy->excludeText, 0, length);
    for (kuCStringToken *t = policy->excludePatterns->first; t != nullptr; t = t->next)
        const_cast<char *>(t->text)[t->length] = '\0';
}

} // namespace

kuSocketPolicy *kuSocketPolicy_New(uint32_t mode, void *userData)
{
    kuSocketPolicy *policy = (kuSocketPolicy *)kuMallocZeroed(sizeof(kuSocketPolicy));
    policy->mode = mode;
    policy->userData = userData;
    policy->acceptConnection = kuSocketPolicy_Default_AcceptConnection;
    policy->getIPAddressList = kuSocketPolicy_Default_GetIPAddressList;
    policy->mapLocalIPAddressToLoopBack = kuSocketPolicy_Default_MapLocalIPAddressToLoopBack;
    policy->isValidIF = defaultIsValidIF;
    return policy;
}

void kuSocketPolicy_Delete(kuSocketPolicy *policy)
{
    if (policy == nullptr)
        return;
    dropConfiguration(policy);
    kuFree(policy);
}

void kuSocketPolicy_SetFunc(kuSocketPolicy *policy,
                            kuSocketPolicy_AcceptConnectionFunc acceptConnection,
                            kuSocketPolicy_GetIPAddressListFunc getIPAddressList,
                            kuSocketPolicy_MapLocalIPAddressToLoopBackFunc mapToLoopBack)
{
    if (policy == nullptr)
        return;
    policy->acceptConnection =
        acceptConnection != nullptr ? acceptConnection : kuSocketPolicy_Default_AcceptConnection;
    policy->getIPAddressList =
        getIPAddressList != nullptr ? getIPAddressList : kuSocketPolicy_Default_GetIPAddressList;
    policy->mapLocalIPAddressToLoopBack =
        mapToLoopBack != nullptr ? mapToLoopBack
                                 : kuSocketPolicy_Default_MapLocalIPAddressToLoopBack;
}

void kuSocketPolicy_Configure(kuSocketPolicy *policy, kuConfigFile *config, const char *section)
{
    if (policy == nullptr || config == nullptr)
        return;
    dropConfiguration(policy);
    if (kuConfigFile_GetUInt32(config, section, "QOSDisabled", 0) == 0)
        policy->qos = kuSocketQOS_New(policy);
    const char *exclude = kuConfigFile_GetString(config, section, "exclude-if", nullptr);
    if (exclude != nullptr && *exclude != '\0')
        setExcludeList(policy, exclude);
}

void *kuSocketPolicy_GetUserData(kuSocketPolicy *policy)
{
    return policy != nullptr ? policy->userData : nullptr;
}

int kuSocketPolicy_AcceptConnection(kuSocketPolicy *policy, int32_t socket, uint32_t peer)
{
    if (policy == nullptr)
        return kuSocketPolicy_Default_AcceptConnection(nullptr, socket, peer);
    return policy->acceptConnection(policy, socket, peer);
}

int kuSocketPolicy_GetIPAddressList(kuSocketPolicy *policy, uint32_t **list, int flags)
{
    if (list == nullptr)
        return -1;
    if (policy == nullptr)
        return kuSocketPolicy_Default_GetIPAddressList(nullptr, list, flags);
    return policy->getIPAddressList(policy, list, flags);
}

uint32_t kuSocketPolicy_MapLocalIPAddressToLoopBack(kuSocketPolicy *policy, uint32_t address)
{
    if (policy == nullptr)
        return address;
    return policy->mapLocalIPAddressToLoopBack(policy, address);
}

int kuSocketPolicy_IsValidIF(kuSocketPolicy *policy, const char *name)
{
    if (policy == nullptr)
        return defaultIsValidIF(nullptr, name);
    return policy->isValidIF(policy, name);
}

int kuSocketPolicy_Default_AcceptConnection(kuSocketPolicy *policy, int32_t socket, uint32_t peer)
{
    (void)socket;
    if (peer == 0)
        return 1;
    uint32_t *list = nullptr;
    int count = kuSocketPolicy_Default_GetIPAddressList(policy, &list, KUOS_IPLIST_WITH_LOOPBACK);
    int accepted = 0;
    for (int i = 0; list != nullptr && i < count && !accepted; i++)
        accepted = list[i] == peer;
    kuFree(list);
    return accepted;
}

int kuSocketPolicy_Default_GetIPAddressList(kuSocketPolicy *policy, uint32_t **list, int flags)
{
    if (list == nullptr)
        return -1;
    switch (modeOf(policy)) {
    case kModeLocalHost:
        return kuSocketGetLocalHostIPAddressList(policy, list, flags);
    case kModeNoLoopBack:
        return kuSocketGetIPAddressList(policy, list, 0);
    default:
        return kuSocketGetIPAddressList(policy, list, flags);
    }
}

uint32_t kuSocketPolicy_Default_MapLocalIPAddressToLoopBack(kuSocketPolicy *policy,
                                                            uint32_t address)
{
    if (modeOf(policy) == kModeLocalHost)
        return kuSocketMapLocalIPAddressToLoopBack(policy, address);
    return address;
}
