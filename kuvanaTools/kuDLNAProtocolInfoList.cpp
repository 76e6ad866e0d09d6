// Lists of DLNA protocol info objects, shared between threads under their
// own mutex.
#include <kuvanaTools/kuCStringParser.h>
#include <kuvanaTools/kuDLNAProtocolInfoList.h>
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuDLNAProtocolInfoInternal.h>
#include <kuvanaTools/private/kuDLNAText.h>
#include <kuvanaTools/private/kuHash.h>
#include <kuvanaTools/private/kuMutexLock.h>

#include <string.h>

struct kuDLNAProtocolInfoList {
    kuPtrList *entries;
    kuMutex *mutex;
    // The node last reached by index, so that a walk by index is linear.
    // Read and written under the mutex; forgotten on every change and while
    // a caller holds the entries through kuDLNAProtocolInfoList_Lock, since
    // the caller may then change the nodes directly.
    kuPtrListNode *cursor;
    uint32_t cursorIndex;
    uint32_t exposed; // open kuDLNAProtocolInfoList_Lock calls
};

namespace {

class Locked : ku::MutexLock {
public:
    explicit Locked(kuDLNAProtocolInfoList *list) : ku::MutexLock(list->mutex) {}
};

void deleteEntry(void *entry)
{
    kuDLNAProtocolInfo_Delete((kuDLNAProtocolInfo *)entry);
}

kuDLNAProtocolInfo *entryOf(const kuPtrListNode *node)
{
    return (kuDLNAProtocolInfo *)node->data;
}

kuDLNAProtocolInfoList *newList()
{
    kuDLNAProtocolInfoList *list =
        (kuDLNAProtocolInfoList *)kuMallocZeroed(sizeof(kuDLNAProtocolInfoList));
    list->entries = kuPtrList_New();
    kuPtrList_SetFreeFunc(list->entries, deleteEntry);
    list->mutex = ku::newMutex();
    return list;
}

typedef kuDLNAProtocolInfo *(*EntryParser)(const char *text, size_t length);

// Forgets the remembered node; the caller holds the mutex.
void forgetCursor(kuDLNAProtocolInfoList *list)
{
    list->cursor = nullptr;
}

// Replaces the entries by those of text; the caller holds the mutex.
void parseInto(kuDLNAProtocolInfoList *list, const char *text, EntryParser parseEntry)
{
    forgetCursor(list);
    kuPtrList_Clear(list->entries);
    if (text == nullptr || *text == '\0')
        return;
    // Cut as kuCStringParser_TokenizeEscaped does, without a token list.
    ku::forEachPiece(text, strlen(text), ',', '\\', [&](const char *entry, size_t length) {
        if (length == 0)
            return true;
        kuDLNAProtocolInfo *info = parseEntry(entry, length);
        if (info->valid != 0)
            kuPtrList_Append(list->entries, info);
        else
            kuDLNAProtocolInfo_Delete(info);
        return true;
    });
}

kuDLNAProtocolInfoList *newParsed(const char *text, EntryParser parseEntry)
{
    kuDLNAProtocolInfoList *list = newList();
    Locked lock(list);
    parseInto(list, text, parseEntry);
    return list;
}

// The node at index, or null when out of range; the caller holds the mutex.
// Walks from the nearest of the head, the tail and the remembered node.
kuPtrListNode *nodeAt(kuDLNAProtocolInfoList *list, int32_t index)
{
    const kuPtrList *entries = list->entries;
    if (index < 0 || (uint32_t)index >= entries->count)
        return nullptr;
    const uint32_t at = (uint32_t)index;
    kuPtrListNode *node = entries->head;
    uint32_t from = 0, distance = at;
    if (entries->count - 1 - at < distance) {
        node = entries->tail;
        from = entries->count - 1;
        distance = from - at;
    }
    bool useCursor = list->exposed == 0;
    if (useCursor && list->cursor != nullptr) {
        uint32_t c = list->cursorIndex;
        uint32_t d = c > at ? c - at : at - c;
        if (d < distance) {
            node = list->cursor;
            from = c;
        }
    }
    for (; from < at; from++)
        node = node->next;
    for (; from > at; from--)
        node = node->prev;
    if (useCursor) {
        list->cursor = node;
        list->cursorIndex = at;
    }
    return node;
}

} // namespace

kuDLNAProtocolInfoList *kuDLNAProtocolInfoList_New(const char *text)
{
    return newParsed(text, kuDLNAProtocolInfo_New);
}

kuDLNAProtocolInfoList *kuDLNAProtocolInfoList_NewFromProfileInfo(const char *text)
{
    return newParsed(text, kuDLNAProtocolInfo_NewFromProfileInfo);
}

void kuDLNAProtocolInfoList_Update(kuDLNAProtocolInfoList *list, const char *text)
{
    if (list == nullptr)
        return;
    Locked lock(list);
    parseInto(list, text, kuDLNAProtocolInfo_New);
}

void kuDLNAProtocolInfoList_Delete(kuDLNAProtocolInfoList *list)
{
    if (list == nullptr)
        return;
    kuPtrList_Delete(list->entries);
    kuMutex_Delete(list->mutex);
    kuFree(list);
}

void kuDLNAProtocolInfoList_Add(kuDLNAProtocolInfoList *list, kuDLNAProtocolInfo *info,
                                int32_t index)
{
    if (list == nullptr || info == nullptr)
        return;
    Locked lock(list);
    kuPtrListNode *before = nodeAt(list, index);
    forgetCursor(list);
    if (before != nullptr)
        kuPtrList_Insert(list->entries, before, info);
    else
        kuPtrList_Append(list->entries, info);
}

void kuDLNAProtocolInfoList_Remove(kuDLNAProtocolInfoList *list, int32_t index)
{
    if (list == nullptr)
        return;
    Locked lock(list);
    kuPtrListNode *node = nodeAt(list, index);
    forgetCursor(list);
    if (node != nullptr)
        kuPtrList_DeleteNode(list->entries, node);
}

uint32_t kuDLNAProtocolInfoList_GetCount(kuDLNAProtocolInfoList *list)
{
    if (list == nullptr)
        return 0;
    Locked lock(list);
    return kuPtrList_GetCount(list->entries);
}

kuDLNAProtocolInfo *kuDLNAProtocolInfoList_GetProtocolInfoAt(kuDLNAProtocolInfoList *list,
                                                             int32_t index)
{
    if (list == nullptr)
        return nullptr;
    Locked lock(list);
    kuPtrListNode *node = nodeAt(list, index);
    return node != nullptr ? entryOf(node) : nullptr;
}

kuPtrList *kuDLNAProtocolInfoList_Lock(kuDLNAProtocolInfoList *list)
{
    if (list == nullptr)
        return nullptr;
    kuMutex_Lock(list->mutex);
    forgetCursor(list);
    list->exposed++;
    return list->entries;
}

void kuDLNAProtocolInfoList_Unlock(kuDLNAProtocolInfoList *list)
{
    if (list == nullptr)
        return;
    // An Unlock without its Lock is the caller's error; keep the count sane.
    if (list->exposed > 0)
        list->exposed--;
    forgetCursor(list);
    kuMutex_Unlock(list->mutex);
}

int kuDLNAProtocolInfoList_Match(kuDLNAProtocolInfoList *list, const kuDLNAProtocolInfo *info)
{
    if (list == nullptr || info == nullptr)
        return 0;
    Locked lock(list);
    for (const kuPtrListNode *n = list->entries->head; n != nullptr; n = n->next)
        if (kuDLNAProtocolInfo_Match(info, entryOf(n)) != 0)
            return 1;
    return 0;
}

int kuDLNAProtocolInfoList_MatchWithRules(kuDLNAProtocolInfoList *list,
                                          const kuDLNAProtocolInfo *info, uint32_t rules,
                                          int32_t *index, uint32_t *used)
{
    uint32_t ignored;
    int32_t found = -1;
    if (used == nullptr)
        used = &ignored;
    *used = 0;
    if (list != nullptr && info != nullptr) {
        Locked lock(list);
        found = ku::matchWithFewestRules(rules, used, [&](uint32_t set) {
            int32_t i = 0;
            for (const kuPtrListNode *n = list->entries->head; n != nullptr; n = n->next, i++)
                if (ku::matchUnderRules(info, entryOf(n), set))
                    return i;
            return (int32_t)-1;
        });
    }
    if (index != nullptr)
        *index = found;
    return found >= 0 ? 1 : 0;
}

int kuDLNAProtocolInfoList_MatchPN(kuDLNAProtocolInfoList *list, const char *profileName)
{
    if (list == nullptr || profileName == nullptr)
        return 0;
    Locked lock(list);
    for (const kuPtrListNode *n = list->entries->head; n != nullptr; n = n->next)
        if (ku::foldedEqual(entryOf(n)->profileName, profileName))
            return 1;
    return 0;
}

kuDLNAProtocolInfo *kuDLNAProtocolInfoList_GetByMimeTypeWithoutPN(kuDLNAProtocolInfoList *list,
                                                                  const char *mimeType)
{
    if (list == nullptr || mimeType == nullptr || *mimeType == '\0')
        return nullptr;
    Locked lock(list);
    for (const kuPtrListNode *n = list->entries->head; n != nullptr; n = n->next) {
        kuDLNAProtocolInfo *entry = entryOf(n);
        if (entry->profileName == nullptr && ku::sameContentFormat(entry->contentFormat, mimeType))
            return entry;
    }
    return nullptr;
}

kuDLNAProtocolInfo *kuDLNAProtocolInfoList_GetByProfileInfo(kuDLNAProtocolInfoList *list,
                                                            const char *profileName)
{
    if (list == nullptr || profileName == nullptr || *profileName == '\0')
        return nullptr;
    Locked lock(list);
    for (const kuPtrListNode *n = list->entries->head; n != nullptr; n = n->next) {
        kuDLNAProtocolInfo *entry = entryOf(n);
        if (entry->profileName != nullptr && strcmp(entry->profileName, profileName) == 0)
            return entry;
    }
    return nullptr;
}

namespace {

bool tokenIs(const kuCStringToken *token, const char *text, size_t length)
{
    return token->length == length && memcmp(token->text, text, length) == 0;
}

// Whether a URI scheme suits an entry whose protocol text is protocol.
bool schemeSuits(const kuCStringToken *scheme, const kuDLNAProtocolInfo *entry,
                 const char *protocol, size_t protocolLength)
{
    if (tokenIs(scheme, protocol, protocolLength))
        return true;
    if (entry->protocol == ku::kProtocolHttp)
        return tokenIs(scheme, "http", 4);
    if (entry->protocol == ku::kProtocolRtsp)
        return tokenIs(scheme, "rtsp", 4) || tokenIs(scheme, "rtp", 3) ||
               tokenIs(scheme, "udp", 3);
    return false;
}

} // namespace

int32_t kuDLNAProtocolInfoList_GetBestIndexForScheme(kuDLNAProtocolInfoList *list,
                                                     const char *schemes, const char *protocols)
{
    if (list == nullptr)
        return -1;
    if (schemes == nullptr)
        schemes = "";
    if (protocols == nullptr || *protocols == '\0')
        protocols = "http-get";
    kuCStringTokenList *schemeTokens = kuCStringParser_Tokenize(schemes, 0, strlen(schemes), ";", 1);
    kuCStringTokenList *protocolTokens =
        kuCStringParser_Tokenize(protocols, 0, strlen(protocols), ";", 1);
    int32_t bestRank = INT32_MAX;
    int32_t best = -1;
    int32_t index = 0;
    for (const kuPtrListNode *n = list->entries->head; n != nullptr && bestRank > 0;
         n = n->next, index++) {
        const kuDLNAProtocolInfo *entry = entryOf(n);
        const char *protocol = kuDLNAProtocolInfo_S_GetProtocolStr(entry);
        if (protocol == nullptr)
            continue;
        size_t protocolLength = strlen(protocol);
        for (const kuCStringToken *p = protocolTokens->first; p != nullptr; p = p->next) {
            if (!tokenIs(p, protocol, protocolLength))
                continue;
            bool won = false;
            int32_t rank = 0;
            for (const kuCStringToken *s = schemeTokens->first; s != nullptr && rank < bestRank;
                 s = s->next, rank++) {
                if (schemeSuits(s, entry, protocol, protocolLength)) {
                    bestRank = rank;
                    best = index;
                    won = true;
                    break;
                }
            }
            if (!won && best < 0)
                best = index;
            if (bestRank == 0)
                break;
        }
    }
    kuCStringParser_Delete(schemeTokens);
    kuCStringParser_Delete(protocolTokens);
    return best;
}

namespace {

// A set of texts by their bytes, for finding repeats in one pass.
class TextSet {
public:
    explicit TextSet(uint32_t expected)
    {
        slots_.reset(ku::tableSizeFor(expected));
    }
    ~TextSet() { slots_.release(); }
    TextSet(const TextSet &) = delete;
    TextSet &operator=(const TextSet &) = delete;

    // Adds text unless it is there; true when it was added.
    bool add(const char *text)
    {
        uint32_t hash = ku::hashBytes(text, strlen(text));
        auto same = [&](Cell e) { return strcmp(e.text, text) == 0; };
        Cell &c = slots_.cells[slots_.find(hash, same)];
        if (!c.free())
            return false;
        c.text = text;
        return true;
    }

private:
    struct Cell {
        const char *text;

        bool free() const { return text == nullptr; }
    };
    ku::ProbeIndex<Cell> slots_{};
};

} // namespace

char *kuDLNAProtocolInfoList_GetSupportedProtocolList(kuDLNAProtocolInfoList *list)
{
    ku::TextBuilder out(64);
    if (list == nullptr)
        return out.take();
    Locked lock(list);
    TextSet seen(list->entries->count);
    for (const kuPtrListNode *n = list->entries->head; n != nullptr; n = n->next) {
        const char *protocol = kuDLNAProtocolInfo_S_GetProtocolStr(entryOf(n));
        if (protocol == nullptr || strcmp(protocol, "*") == 0 || !seen.add(protocol))
            continue;
        if (out.size() > 0)
            out.add(';');
        out.add(protocol);
    }
    return out.take();
}

char *kuDLNAProtocolInfoList_GetStrForContext(kuDLNAProtocolInfoList *list, int context)
{
    ku::TextBuilder out(1024);
    if (list == nullptr)
        return out.take();
    Locked lock(list);
    for (const kuPtrListNode *n = list->entries->head; n != nullptr; n = n->next) {
        char *entry = kuDLNAProtocolInfo_GetStrForContext(entryOf(n), context);
        if (*entry != '\0') {
            if (out.size() > 0)
                out.add(',');
            out.add(entry);
        }
        kuFree(entry);
    }
    return out.take();
}

char *kuDLNAProtocolInfoList_GetStr(kuDLNAProtocolInfoList *list)
{
    return kuDLNAProtocolInfoList_GetStrForContext(list, 1);
}

namespace {

// Whether source merges into target.
bool mergeable(const kuDLNAProtocolInfo *target, const kuDLNAProtocolInfo *source)
{
    return ku::sameOrBothNull(target->profileName, source->profileName) &&
           target->protocol == source->protocol &&
           (target->protocol != ku::kProtocolOther ||
            ku::sameOrBothNull(target->protocolString, source->protocolString)) &&
           target->playSingle == source->playSingle &&
           ku::sameContentFormat(target->contentFormat, source->contentFormat);
}

// The target's entries by everything mergeable() needs to hold (profile name,
// protocol, play-single form, media type in any case), each chain in list
// order, so that finding the first mergeable entry does not walk the whole
// list for every source entry.
class MergeIndex {
public:
    MergeIndex(const kuPtrList *target, uint32_t incoming)
    {
        uint64_t capacity = (uint64_t)target->count + incoming;
        uint32_t size = ku::tableSizeFor(capacity);
        nodes_ = ku::newArray<Node>((size_t)capacity + 1);
        chains_ = (Chain *)kuMallocZeroed((size_t)size * sizeof(Chain));
        mask_ = size - 1;
        for (const kuPtrListNode *n = target->head; n != nullptr; n = n->next)
            add((kuDLNAProtocolInfo *)n->data, false);
    }
    ~MergeIndex()
    {
        kuFree(nodes_);
        kuFree(chains_);
    }
    MergeIndex(const MergeIndex &) = delete;
    MergeIndex &operator=(const MergeIndex &) = delete;

    // Records an entry placed at the head of the list (atHead) or its end.
    void add(kuDLNAProtocolInfo *info, bool atHead)
    {
        Chain &c = chains_[key(info) & mask_];
        Node *node = &nodes_[used_++];
        node->info = info;
        node->next = nullptr;
        if (c.head == nullptr) {
            c.head = c.tail = node;
        } else if (atHead) {
            node->next = c.head;
            c.head = node;
        } else {
            c.tail->next = node;
            c.tail = node;
        }
    }

    kuDLNAProtocolInfo *find(const kuDLNAProtocolInfo *source) const
    {
        for (const Node *n = chains_[key(source) & mask_].head; n != nullptr; n = n->next)
            if (mergeable(n->info, source))
                return n->info;
        return nullptr;
    }

private:
    struct Node {
        kuDLNAProtocolInfo *info;
        Node *next;
    };
    struct Chain {
        Node *head;
        Node *tail;
    };

    static uint32_t key(const kuDLNAProtocolInfo *info)
    {
        auto text = [](uint32_t h, const char *s) {
            h = ku::hashBytes(s != nullptr ? "\1" : "\0", 1, h);
            return s != nullptr ? ku::hashBytes(s, strlen(s) + 1, h) : h;
        };
        uint32_t h = text(ku::kFnvBasis, info->profileName);
        uint32_t codes[2] = {info->protocol, info->playSingle};
        h = ku::hashBytes((const char *)codes, sizeof codes, h);
        if (info->protocol == ku::kProtocolOther)
            h = text(h, info->protocolString);
        const char *format = info->contentFormat;
        for (size_t i = 0, n = ku::mediaTypeLength(format); i < n; i++) {
            char folded = (char)ku::toLowerAscii((unsigned char)format[i]);
            h = ku::hashBytes(&folded, 1, h);
        }
        return h;
    }

    Node *nodes_;
    uint32_t used_ = 0;
    Chain *chains_;
    uint32_t mask_;
};

} // namespace

void kuDLNAProtocolInfoList_Merge(kuDLNAProtocolInfoList *target, kuDLNAProtocolInfoList *source)
{
    if (target == nullptr || source == nullptr || target == source)
        return;
    Locked targetLock(target);
    Locked sourceLock(source);
    forgetCursor(target);
    forgetCursor(source);
    MergeIndex index(target->entries, source->entries->count);
    while (source->entries->count > 0) {
        kuDLNAProtocolInfo *s = (kuDLNAProtocolInfo *)kuPtrList_PopData(source->entries);
        if (s == nullptr)
            continue;
        kuDLNAProtocolInfo *t = index.find(s);
        if (t != nullptr) {
            kuDLNAProtocolInfo_Merge(t, s);
            kuDLNAProtocolInfo_Delete(s);
        } else if (s->profileName != nullptr) {
            kuPtrList_Insert(target->entries, nullptr, s);
            index.add(s, true);
        } else {
            kuPtrList_Append(target->entries, s);
            index.add(s, false);
        }
    }
}

void kuDLNAProtocolInfoList_MergeStr(kuDLNAProtocolInfoList *target, const char *text)
{
    if (target == nullptr)
        return;
    kuDLNAProtocolInfoList *source = kuDLNAProtocolInfoList_New(text);
    kuDLNAProtocolInfoList_Merge(target, source);
    kuDLNAProtocolInfoList_Delete(source);
}
