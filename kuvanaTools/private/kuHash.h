// FNV-1a over bytes, and the open-addressing index that the modules keep
// beside their entries.
#ifndef KUVANATOOLS_PRIVATE_KUHASH_H
#define KUVANATOOLS_PRIVATE_KUHASH_H

#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/private/kuAlloc.h>

#include <stddef.h>
#include <stdint.h>

namespace ku {

constexpr uint32_t kFnvBasis = 2166136261u;

// FNV-1a over the bytes, continuing from h.
inline uint32_t hashBytes(const char *bytes, size_t length, uint32_t h = kFnvBasis)
{
    for (size_t i = 0; i < length; i++)
        h = (h ^ (unsigned char)bytes[i]) * 16777619u;
    return h;
}

// Cells of a hash table for `entries` at most half full: a power of two
// from `least` on.
inline uint32_t tableSizeFor(uint64_t entries, uint32_t least = 16)
{
    uint32_t size = least;
    while (size < entries * 2 && size < 0x80000000u)
        size *= 2;
    return size;
}

// Linear probing over a power-of-two array of cells. A Cell is plain data,
// all zero when free, and tells so by free(). The index keeps no count:
// its owner keeps it at most half full, where probe runs stay short.
template <typename Cell>
struct ProbeIndex {
    Cell *cells;
    uint32_t mask;

    uint32_t size() const { return mask + 1; }

    // Replaces the cells by `size` free ones.
    void reset(uint32_t size)
    {
        kuFree(cells);
        cells = (Cell *)kuMallocZeroed(arrayBytes(size, sizeof(Cell)));
        mask = size - 1;
    }

    void release()
    {
        kuFree(cells);
        cells = nullptr;
    }

    // From the home of hash on, the first cell for which same(cell) holds,
    // or else the free cell that ends the run.
    template <typename Same>
    uint32_t find(uint32_t hash, Same same) const
    {
        for (uint32_t i = hash & mask;; i = (i + 1) & mask)
            if (cells[i].free() || same(cells[i]))
                return i;
    }

    // The free cell where a new entry with this hash goes.
    uint32_t place(uint32_t hash) const
    {
        return find(hash, [](const Cell &) { return false; });
    }

    // Frees cell i, moving later cells of its run back so that no search
    // stops early at the hole; hashOf(cell) gives a cell's hash.
    template <typename HashOf>
    void erase(uint32_t i, HashOf hashOf)
    {
        for (uint32_t j = (i + 1) & mask; !cells[j].free(); j = (j + 1) & mask) {
            uint32_t home = hashOf(cells[j]) & mask;
            // distance from home to j, and from home to the hole: the cell
            // may move back only when the hole lies on its way from home
            if (((j - home) & mask) >= ((j - i) & mask)) {
                cells[i] = cells[j];
                i = j;
            }
        }
        cells[i] = Cell{};
    }
};

} // namespace ku

#endif // KUVANATOOLS_PRIVATE_KUHASH_H
