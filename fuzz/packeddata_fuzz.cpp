// Packed data: a block from outside (trusted only for its size, as the
// header documents) is read and checked without leaving it, and blocks
// built by any sequence of writes read back as a simple model says.
#include "FuzzUtil.h"

#include <kuvanaTools/kuArray.h>
#include <kuvanaTools/kuPackedData.h>

#include <utility>

using kufuzz::Bytes;

namespace {

// Every reader on every entry the block names, and a few beyond.
void readAll(const kuPackedData *data, const std::vector<uint16_t> &ids)
{
    uint32_t entries = kuPackedData_GetEntryCount(data);
    uint32_t last = entries < 64 ? entries + 2 : 66;
    for (uint32_t entry = 0; entry < last; entry++) {
        kuPackedData_GetTagCount(data, entry);
        for (uint16_t id : ids) {
            uint32_t length = 1;
            // the data lies inside the block's used bytes
            const uint8_t *at = (const uint8_t *)kuPackedData_GetData(data, entry, id, &length);
            const uint8_t *end = data->block + data->usedSize;
            KU_FUZZ_CHECK(at == nullptr ? length == 0 : at > data->block && at + length <= end);
            const char *text = kuPackedData_GetDataStr(data, entry, id, &length);
            KU_FUZZ_CHECK(text != nullptr && strlen(text) < length + 1);
            kuPackedData_GetDataAsUInt16(data, entry, id);
            kuPackedData_GetDataAsUInt32(data, entry, id);
            kuArray *array = kuPackedData_GetDataArray(data, entry, id,
                                                       kuStringArray_UnFlattenerFunc);
            KU_FUZZ_CHECK(array != nullptr);
            kuArray_SetFreeFunc(array, kuStringArray_FreeFunc);
            kuArray_Delete(array);
        }
    }
    kuPackedData_Dump(data);
}

// A block from outside: the input with its word 0 kept when the block is at
// least that large, else set to the block's size.
void foreignBlock(const uint8_t *input, size_t size)
{
    FuzzedDataProvider fdp(input, size);
    std::vector<uint16_t> ids{fdp.ConsumeIntegral<uint16_t>(), fdp.ConsumeIntegral<uint16_t>(),
                              fdp.ConsumeIntegral<uint16_t>()};
    std::vector<uint8_t> bytes = fdp.ConsumeRemainingBytes<uint8_t>();
    if (bytes.size() < 8)
        bytes.resize(8, 0xFF);
    uint32_t size0 = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | (uint32_t)bytes[3] << 24;
    for (int i = 0; i < 4 && size0 > bytes.size(); i++)
        bytes[(size_t)i] = (uint8_t)(bytes.size() >> (8 * i));

    Bytes block(bytes.data(), bytes.size());
    kuPackedData *copy = kuPackedData_NewDataDuplicate(block.data());
    KU_FUZZ_CHECK(copy != nullptr);
    readAll(copy, ids);
    kuPackedData_Free(copy);

    // taken over as it is, then written to: the writers either refuse or stay
    // inside the block they grow
    void *owned = kuMalloc(bytes.size());
    memcpy(owned, bytes.data(), bytes.size());
    kuPackedData *data = kuPackedData_NewData(owned);
    readAll(data, ids);
    uint8_t payload[5] = {1, 2, 3, 4, 5};
    kuPackedData_AddData(data, ids[0], payload, 3);
    kuPackedData_AddDataToEntry(data, 0, ids[1], payload, 5);
    kuPackedData_SetData(data, 0, ids[0], payload, 4, 1);
    kuPackedData_SetData(data, 0, ids[2], payload, 1, 0);
    kuPackedData_AddNewEntry(data);
    kuPackedData_AddData(data, ids[2], payload, 2);
    readAll(data, ids);
    kuFree(kuPackedData_TakeData(data));
    kuPackedData_Free(data);
}

// What a built block must hold: per started entry, its tags in order.
struct Model {
    std::vector<std::vector<std::pair<uint16_t, std::string>>> entries;

    std::string *find(uint32_t entry, uint16_t id)
    {
        for (auto &tag : entries[entry])
            if (tag.first == id)
                return &tag.second;
        return nullptr;
    }
};

void checkModel(const kuPackedData *data, Model &model)
{
    KU_FUZZ_CHECK(kuPackedData_GetEntryCount(data) >= model.entries.size() &&
                  data->currentEntry == model.entries.size());
    for (uint32_t entry = 0; entry < model.entries.size(); entry++) {
        KU_FUZZ_CHECK(kuPackedData_GetTagCount(data, entry) == model.entries[entry].size());
        for (const auto &tag : model.entries[entry]) {
            const std::string *first = model.find(entry, tag.first);
            uint32_t length = 0;
            const void *bytes = kuPackedData_GetData(data, entry, tag.first, &length);
            KU_FUZZ_CHECK(bytes != nullptr && length == first->size() &&
                          memcmp(bytes, first->data(), length) == 0);
        }
    }
}

// Any sequence of writes, checked against the model after each one.
void builtBlock(const uint8_t *input, size_t size)
{
    FuzzedDataProvider fdp(input, size);
    kuPackedData *data = kuPackedData_New(fdp.ConsumeIntegralInRange<uint32_t>(0, 4));
    KU_FUZZ_CHECK(data != nullptr);
    Model model;
    for (int step = 0; step < 64 && fdp.remaining_bytes() > 0; step++) {
        int op = fdp.ConsumeIntegralInRange<int>(0, 6);
        uint16_t id = fdp.ConsumeIntegralInRange<uint16_t>(0, 7);
        uint32_t entry = fdp.ConsumeIntegralInRange<uint32_t>(0, (uint32_t)model.entries.size());
        std::string value = fdp.ConsumeRandomLengthString(300);
        bool known = entry < model.entries.size();
        const uint32_t n = (uint32_t)value.size();
        bool present = known && model.find(entry, id) != nullptr;
        if (op == 0) {
            KU_FUZZ_CHECK(kuPackedData_AddNewEntry(data) != 0);
            model.entries.emplace_back();
        } else if (op == 1) {
            bool started = !model.entries.empty();
            KU_FUZZ_CHECK((kuPackedData_AddData(data, id, value.data(), n) != 0) == started);
            if (started)
                model.entries.back().emplace_back(id, value);
        } else if (op == 2 || op == 3 || op == 4) {
            // to an entry (2), replacing the tag's value (3) or adding it (4)
            int result = op == 2 ? kuPackedData_AddDataToEntry(data, entry, id, value.data(), n)
                                 : kuPackedData_SetData(data, entry, id, value.data(), n, op == 4);
            KU_FUZZ_CHECK(result == (int)(op == 3 ? present : known));
            if (present && op != 2)
                *model.find(entry, id) = value;
            else if (known && op != 3)
                model.entries[entry].emplace_back(id, value);
        } else {
            // handed out and taken back (5), or copied (6)
            kuPackedData *next = op == 5 ? kuPackedData_NewData(kuPackedData_TakeData(data))
                                         : kuPackedData_Duplicate(data);
            if (op == 6)
                checkModel(next, model);
            kuPackedData_Free(data);
            data = next;
        }
        // a refused write changes nothing
        KU_FUZZ_CHECK(kuPackedData_AddData(data, id, nullptr, 1) == 0);
        KU_FUZZ_CHECK(kuPackedData_AddDataToEntry(data, (uint32_t)model.entries.size() + 1, id,
                                                  value.data(), 1) == 0);
        checkModel(data, model);
    }
    kuPackedData_Free(data);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 0)
        (data[0] & 1 ? foreignBlock : builtBlock)(data + 1, size - 1);
    return 0;
}
