// Hook objects: four small name-keyed tables.
#include <kuvanaTools/kuHashTable.h>
#include <kuvanaTools/kuHook.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuLogInternal.h>

#include <string.h>

struct kuHook {
    kuHashTable *features;          // values unused: presence is the flag
    kuHashTable *stringProperties;  // owned text copies, possibly null
    kuHashTable *pointerProperties; // the caller's pointers, not owned
    kuHashTable *hooks;             // owned HookRecord per ID
};

unsigned char kuHook_t[16];

static_assert(sizeof(void *) != 4 || sizeof(kuHook) == sizeof(kuHook_t),
              "kuHook_t has the size of a hook object on 32-bit targets");

namespace {

constexpr ku::LogSource kLog = {ku::kLogFatal, "kuvanaTools/kuHook"};

struct HookRecord {
    void *reserved; // never read
    kuHookFunc func;
};

// A name as a table key; null and "" both give length 0, which the table
// never stores or finds.
struct Name {
    explicit Name(const char *text)
        : text(text), length(text != nullptr ? (uint32_t)strlen(text) : 0)
    {
    }
    const char *text;
    uint32_t length;
};

void *get(kuHashTable *table, Name name)
{
    return kuHashTable_GetEntry(table, name.text, name.length);
}

void releaseValues(kuHashTable *table)
{
    kuHashTable_ForEach(
        table, [](const char *, uint32_t, void *value, void *) { kuFree(value); }, nullptr);
}

} // namespace

kuHook *kuHook_New(void)
{
    kuHook *hook = (kuHook *)kuMallocZeroed(sizeof(kuHook));
    hook->features = kuHashTable_New();
    hook->stringProperties = kuHashTable_New();
    hook->pointerProperties = kuHashTable_New();
    hook->hooks = kuHashTable_New();
    return hook;
}

void kuHook_Delete(kuHook *hook)
{
    if (hook == nullptr)
        return;
    kuHashTable_Delete(hook->features);
    kuHashTable_Delete(hook->pointerProperties);
    releaseValues(hook->stringProperties);
    kuHashTable_Delete(hook->stringProperties);
    releaseValues(hook->hooks);
    kuHashTable_Delete(hook->hooks);
    kuFree(hook);
}

void kuHook_RegisterHook(kuHook *hook, const char *id, kuHookFunc func)
{
    Name name(id);
    if (hook == nullptr || name.length == 0)
        return;
    // The replaced record is unreachable once the ID points elsewhere.
    void *old = get(hook->hooks, name);
    if (func == nullptr) {
        kuHashTable_DeleteEntry(hook->hooks, name.text, name.length);
    } else {
        HookRecord *record = (HookRecord *)kuMallocZeroed(sizeof(HookRecord));
        record->func = func;
        kuHashTable_AddEntry(hook->hooks, name.text, name.length, record);
    }
    kuFree(old);
}

void kuHook_Hook(kuHook *hook, const char *id, ...)
{
    if (hook == nullptr)
        return;
    HookRecord *record = (HookRecord *)get(hook->hooks, Name(id));
    if (record == nullptr) {
        ku::log(kLog, __LINE__, "kuHook: unknown hook ID '%s'\n", id != nullptr ? id : "(null)");
        return;
    }
    // Nothing of the hook is touched after the call: the function may
    // replace its own record or delete the hook.
    va_list arguments;
    va_start(arguments, id);
    record->func(hook, id, arguments);
    va_end(arguments);
}

void kuHook_SetSupportFeature(kuHook *hook, const char *name, int flag)
{
    if (hook == nullptr)
        return;
    Name key(name);
    kuHashTable_DeleteEntry(hook->features, key.text, key.length);
    if (flag != 0)
        kuHashTable_AddEntry(hook->features, key.text, key.length, nullptr);
}

int kuHook_SupportFeature(kuHook *hook, const char *name)
{
    if (hook == nullptr)
        return 0;
    Name key(name);
    return kuHashTable_HasEntry(hook->features, key.text, key.length);
}

void kuHook_SetStringProperty(kuHook *hook, const char *name, const char *text)
{
    Name key(name);
    if (hook == nullptr || key.length == 0)
        return;
    // Copy before releasing: text may be the current value.
    char *copy = kuStrdup(text);
    kuFree(get(hook->stringProperties, key));
    kuHashTable_DeleteEntry(hook->stringProperties, key.text, key.length);
    kuHashTable_AddEntry(hook->stringProperties, key.text, key.length, copy);
}

const char *kuHook_GetStringProperty(kuHook *hook, const char *name)
{
    if (hook == nullptr)
        return nullptr;
    return (const char *)get(hook->stringProperties, Name(name));
}

void kuHook_SetVoidPtrProperty(kuHook *hook, const char *name, void *pointer)
{
    if (hook == nullptr)
        return;
    Name key(name);
    kuHashTable_AddEntry(hook->pointerProperties, key.text, key.length, pointer);
}

void *kuHook_GetVoidPtrProperty(kuHook *hook, const char *name)
{
    if (hook == nullptr)
        return nullptr;
    return get(hook->pointerProperties, Name(name));
}
