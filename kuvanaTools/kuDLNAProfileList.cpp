// Sorted, case-insensitively distinct sets of DLNA profile names.
#include <kuvanaTools/kuArray.h>
#include <kuvanaTools/kuCStringParser.h>
#include <kuvanaTools/kuDLNAProfileList.h>
#include <kuvanaTools/kuDLNAProtocolInfoList.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuDLNAProtocolInfoInternal.h>
#include <kuvanaTools/private/kuDLNAText.h>

#include <string.h>
#include <strings.h>

struct kuDLNAProfileList {
    kuArray *names; // owned names; sorted and distinct after every merge
};

namespace {

const char *nameAt(const kuArray *names, uint32_t i)
{
    return (const char *)kuArray_At(names, i);
}

// kuArray_Sort hands qsort's slot addresses over.
int compareSlots(const void *a, const void *b)
{
    return strcasecmp(*(const char *const *)a, *(const char *const *)b);
}

kuArray *newNames()
{
    kuArray *names = kuArray_New();
    kuArray_SetFreeFunc(names, kuStringArray_FreeFunc);
    kuArray_SetSortFunc(names, compareSlots, 0);
    return names;
}

// Sorts, then keeps the first of every run of names equal in any case. The
// survivors move to a new array in one pass (removing repeats one by one
// would be quadratic).
void normalise(kuDLNAProfileList *list)
{
    kuArray *names = list->names;
    kuArray_Sort(names);
    uint32_t count = kuArray_GetCount(names);
    uint32_t first = 1;
    while (first < count && strcasecmp(nameAt(names, first - 1), nameAt(names, first)) != 0)
        first++;
    if (first >= count)
        return;
    kuArray *kept = newNames();
    for (uint32_t i = 0; i < count; i++) {
        char *name = (char *)kuArray_At(names, i);
        uint32_t n = kuArray_GetCount(kept);
        if (n > 0 && strcasecmp(nameAt(kept, n - 1), name) == 0)
            kuFree(name);
        else
            kuArray_Append(kept, name);
    }
    kuArray_SetFreeFunc(names, nullptr);
    kuArray_Delete(names);
    list->names = kept;
}

// The index of the name equal to name in any case, or -1 (the names are
// sorted).
int32_t find(const kuDLNAProfileList *list, const char *name)
{
    uint32_t lo = 0;
    uint32_t hi = kuArray_GetCount(list->names);
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        int order = strcasecmp(nameAt(list->names, mid), name);
        if (order == 0)
            return (int32_t)mid;
        if (order < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return -1;
}

using ku::isBlank;

} // namespace

kuDLNAProfileList *kuDLNAProfileList_New(void)
{
    kuDLNAProfileList *list = (kuDLNAProfileList *)kuMalloc(sizeof(kuDLNAProfileList));
    list->names = newNames();
    return list;
}

void kuDLNAProfileList_Delete(kuDLNAProfileList *list)
{
    if (list == nullptr)
        return;
    kuArray_Delete(list->names);
    kuFree(list);
}

int kuDLNAProfileList_HasProfile(const kuDLNAProfileList *list, const char *name)
{
    return list != nullptr && name != nullptr && find(list, name) >= 0 ? 1 : 0;
}

void kuDLNAProfileList_Remove(kuDLNAProfileList *list, const char *name)
{
    if (list == nullptr || name == nullptr)
        return;
    int32_t i = find(list, name);
    if (i >= 0)
        kuArray_RemoveAt(list->names, (uint32_t)i, 1);
}

char *kuDLNAProfileList_GetStr(const kuDLNAProfileList *list)
{
    ku::TextBuilder out;
    for (uint32_t i = 0; list != nullptr && i < kuArray_GetCount(list->names); i++) {
        if (i > 0)
            out.add(',');
        out.add(nameAt(list->names, i));
    }
    return out.take();
}

void kuDLNAProfileList_MergeProfileList(kuDLNAProfileList *list, const char *text)
{
    if (list == nullptr)
        return;
    if (text != nullptr) {
        kuCStringTokenList *tokens = kuCStringParser_Tokenize(text, 0, strlen(text), ",", 1);
        for (const kuCStringToken *t = tokens->first; t != nullptr; t = t->next) {
            const char *start = t->text;
            const char *end = t->text + t->length;
            while (start < end && isBlank(*start))
                start++;
            while (end > start && isBlank(end[-1]))
                end--;
            if (end > start)
                kuArray_Append(list->names, kuStrndup(start, (size_t)(end - start)));
        }
        kuCStringParser_Delete(tokens);
    }
    normalise(list);
}

void kuDLNAProfileList_MergeDLNAProtocolInfoList(kuDLNAProfileList *list, const char *text)
{
    if (list == nullptr)
        return;
    kuDLNAProtocolInfoList *entries = kuDLNAProtocolInfoList_NewFromProfileInfo(text);
    kuPtrList *nodes = kuDLNAProtocolInfoList_Lock(entries);
    for (const kuPtrListNode *n = nodes->head; n != nullptr; n = n->next) {
        const char *name = ((const kuDLNAProtocolInfo *)n->data)->profileName;
        if (name != nullptr && *name != '\0')
            kuArray_Append(list->names, kuStrdup(name));
    }
    kuDLNAProtocolInfoList_Unlock(entries);
    kuDLNAProtocolInfoList_Delete(entries);
    normalise(list);
}

char *kuDLNAProfileList_GetMatchingProfileListStr(const kuDLNAProfileList *list, const char *text)
{
    kuDLNAProfileList *wanted = kuDLNAProfileList_New();
    kuDLNAProfileList_MergeProfileList(wanted, text);
    ku::TextBuilder out;
    for (uint32_t i = 0; i < kuArray_GetCount(wanted->names); i++) {
        const char *name = nameAt(wanted->names, i);
        if (!kuDLNAProfileList_HasProfile(list, name))
            continue;
        if (out.size() > 0)
            out.add(',');
        out.add(name);
    }
    kuDLNAProfileList_Delete(wanted);
    return out.take();
}
