// A ForEach in progress over a table whose visit function may remove entries
// or delete the table: the entry it visits next, which every removal moves
// on, so that no walk is left standing on released memory.
#ifndef KUVANATOOLS_PRIVATE_KUWALK_H
#define KUVANATOOLS_PRIVATE_KUWALK_H

namespace ku {

template <typename Entry>
struct Walk {
    Entry *next;
    Walk *outer; // the walk this one runs inside, or null
    bool tableGone;

    // Moves the walks of a table off an entry taken out of its chain.
    static void passOver(Walk *walks, const Entry *removed, Entry *following)
    {
        for (Walk *w = walks; w != nullptr; w = w->outer)
            if (w->next == removed)
                w->next = following;
    }

    // The table is being deleted: every walk ends after its current visit.
    static void endAll(Walk *walks)
    {
        for (Walk *w = walks; w != nullptr; w = w->outer) {
            w->next = nullptr;
            w->tableGone = true;
        }
    }

    // Visits the chain from first on; false once the table is gone.
    template <typename Visit>
    bool visitChain(Entry *first, Visit visit)
    {
        for (Entry *e = first; e != nullptr; e = next) {
            next = e->next;
            visit(e);
            if (tableGone)
                return false;
        }
        return true;
    }
};

} // namespace ku

#endif // KUVANATOOLS_PRIVATE_KUWALK_H
