// Number parsers: every text gets a result of the status contract with the
// value it promises, the n-variants read exactly their length, and numbers
// printed in the usual notations read back as themselves.
#include "FuzzUtil.h"

#include <kuvanaTools/kuConvert.h>
#include <kuvanaTools/kuLongLong.h>

#include <inttypes.h>
#include <math.h>

using namespace kufuzz;

namespace {

// The status contract for a text of the given length: a positive offset
// lies inside it, -3 leaves 0, overflow leaves the bound.
template <typename T> void checkStatus(int32_t status, T value, size_t length, T max, T min)
{
    KU_FUZZ_CHECK(status >= -3 && (status <= 0 || (size_t)status < length));
    KU_FUZZ_CHECK(status != -3 || value == 0);
    KU_FUZZ_CHECK(status != -1 || value == max);
    KU_FUZZ_CHECK(status != -2 || value == min);
}

void integers32(const Text &text, const Bytes &bytes, FuzzedDataProvider &fdp)
{
    size_t length = text.length();
    uint32_t u = 1, un = 1, h = 1, hn = 1, ub = 1;
    int32_t st = kuConvert_strtouint32(text.c_str(), &u);
    checkStatus<uint32_t>(st, u, length, UINT32_MAX, 0);
    KU_FUZZ_CHECK(st != -2);
    // the n-variants read the bytes as far as their first zero
    KU_FUZZ_CHECK(kuConvert_strntouint32(bytes.data(), bytes.size(), &un) == st && un == u);
    uint16_t u16 = 1;
    KU_FUZZ_CHECK(kuConvert_strtouint16(text.c_str(), &u16) == (u > 65535 ? -1 : st));

    int32_t i = 1, in = 1, ib = 1;
    st = kuConvert_strtoint32(text.c_str(), &i);
    checkStatus<int32_t>(st, i, length, INT32_MAX, INT32_MIN);
    KU_FUZZ_CHECK(kuConvert_strntoint32(bytes.data(), bytes.size(), &in) == st && in == i);

    st = kuConvert_hexstrtouint32(text.c_str(), &h);
    checkStatus<uint32_t>(st, h, length, UINT32_MAX, 0);
    KU_FUZZ_CHECK(kuConvert_hexstrntouint32(bytes.data(), bytes.size(), &hn) ==
                  (bytes.size() ? st : -3));

    int base = fdp.ConsumeIntegralInRange<int>(-1, 40);
    checkStatus<uint32_t>(kuConvert_strtouint32_base(text.c_str(), &ub, base), ub, length,
                          UINT32_MAX, 0);
    checkStatus<int32_t>(kuConvert_strtoint32_base(text.c_str(), &ib, base), ib, length,
                         INT32_MAX, INT32_MIN);
}

void integers64(const Text &text, const Bytes &bytes)
{
    kuint64 s = {1, 1};
    int32_t st = kuConvert_strtoLongLong(text.c_str(), &s);
    int64_t sv = (int64_t)((uint64_t)(uint32_t)s.high << 32 | s.low);
    checkStatus<int64_t>(st, sv, text.length(), INT64_MAX, INT64_MIN);

    kuuint64 u = {1, 1}, un = {1, 1};
    st = kuConvert_strtoULongLong(text.c_str(), &u);
    checkStatus<uint64_t>(st, (uint64_t)u.high << 32 | u.low, text.length(), UINT64_MAX, 0);
    int32_t ok = kuULongLong_SetFromNString(&un, bytes.data(), bytes.size());
    KU_FUZZ_CHECK(bytes.size() == 0 || ok == (st == 0));
}

void floating(const Text &text)
{
    double d = 1.0, dd = 1.0;
    int32_t st = kuConvert_strtod(text.c_str(), &d);
    KU_FUZZ_CHECK(st >= -3 && (st <= 0 || (size_t)st <= text.length()) && isfinite(d));
    KU_FUZZ_CHECK(st >= 0 || d == 0.0);
    st = kuConvert_strtodouble(text.c_str(), &dd);
    KU_FUZZ_CHECK(st >= -3 && (st == 0 || dd == 0.0));
}

// Hexadecimal text to units and back gives the digits in lower case
// without a "0x"; any bytes to text and back give the bytes.
void hexBuffers(const Bytes &bytes, FuzzedDataProvider &fdp)
{
    static const int kUnits[] = {1, 2, 4};
    int unit = kUnits[fdp.ConsumeIntegralInRange<int>(0, 2)];
    int asNumber = fdp.ConsumeBool();
    unsigned char *buffer = nullptr;
    size_t count = 7;
    int32_t st = kuConvert_hexstrntobuffer(bytes.data(), bytes.size(), unit, asNumber, &buffer,
                                           &count);
    KU_FUZZ_CHECK(st == 0 ? buffer != nullptr && count % (size_t)unit == 0
                          : st == -3 && buffer == nullptr && count == 0);
    char *text = nullptr;
    if (st == 0) {
        KU_FUZZ_CHECK(kuConvert_buffertohexstr(buffer, count, unit, asNumber, &text) == 0);
        std::string expected(bytes.data(), bytes.size());
        if (expected.size() >= 2 && expected[0] == '0' && (expected[1] | 0x20) == 'x')
            expected.erase(0, 2);
        for (char &c : expected)
            c = (char)tolower((unsigned char)c);
        KU_FUZZ_CHECK(kufuzz::take(text) == expected);
        kuFree(buffer);
    }

    st = kuConvert_buffertohexstr(bytes.size() ? bytes.data() : nullptr, bytes.size(), unit, 0, &text);
    if (bytes.size() % (size_t)unit != 0) {
        KU_FUZZ_CHECK(st == -3 && text == nullptr);
        return;
    }
    std::string hex = kufuzz::take(text);
    KU_FUZZ_CHECK(st == 0 && hex.size() == 2 * bytes.size());
    Bytes exact(hex.data(), hex.size());
    KU_FUZZ_CHECK(kuConvert_hexstrntobuffer(exact.data(), exact.size(), unit, 0, &buffer, &count) == 0);
    KU_FUZZ_CHECK(count == bytes.size() && memcmp(buffer, bytes.data(), count) == 0);
    kuFree(buffer);
}

// Digits of value in base, most significant first.
std::string inBase(uint32_t value, int base)
{
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[value % (uint32_t)base]);
        value /= (uint32_t)base;
    } while (value != 0);
    return digits;
}

// Printed numbers read back exactly (floating point closely).
void printedNumbers(FuzzedDataProvider &fdp)
{
    std::string blanks(fdp.ConsumeIntegralInRange<size_t>(0, 3), ' ');
    uint32_t u = fdp.ConsumeIntegral<uint32_t>(), uo = 0, uh = 0;
    int base = fdp.ConsumeIntegralInRange<int>(2, 36);
    Text inItsBase(blanks + "+" + inBase(u, base)), inHex(blanks + "0X" + inBase(u, 16));
    KU_FUZZ_CHECK(kuConvert_strtouint32_base(inItsBase.c_str(), &uo, base) == 0);
    KU_FUZZ_CHECK(kuConvert_strtouint32_base(inHex.c_str(), &uh, 0) == 0);
    KU_FUZZ_CHECK(uo == u && uh == u);

    int32_t i = fdp.ConsumeIntegral<int32_t>(), io = 0;
    KU_FUZZ_CHECK(kuConvert_strtoint32(Text(blanks + std::to_string(i)).c_str(), &io) == 0 && io == i);

    // 64-bit values, and the library's own text of them
    int64_t l = fdp.ConsumeIntegral<int64_t>();
    uint64_t ul = fdp.ConsumeIntegral<uint64_t>();
    kuint64 lo = {0, 0};
    kuuint64 ulo = {0, 0};
    KU_FUZZ_CHECK(kuConvert_strtoLongLong(Text(std::to_string(l)).c_str(), &lo) == 0 &&
                  kuConvert_strtoULongLong(Text(std::to_string(ul)).c_str(), &ulo) == 0);
    KU_FUZZ_CHECK((int64_t)((uint64_t)(uint32_t)lo.high << 32 | lo.low) == l &&
                  ((uint64_t)ulo.high << 32 | ulo.low) == ul);
    KU_FUZZ_CHECK(kufuzz::take(kuLongLong_ToString(&lo)) == std::to_string(l) &&
                  kufuzz::take(kuULongLong_ToString(&ulo)) == std::to_string(ul));

    double d = fdp.ConsumeFloatingPoint<double>(), back = 1.0;
    if (isfinite(d) && (d == 0.0 || (fabs(d) > 1e-300 && fabs(d) < 1e300))) {
        KU_FUZZ_CHECK(kuConvert_strtod(Text(kufuzz::format("%.17g", d)).c_str(), &back) == 0 &&
                      fabs(back - d) <= fabs(d) * 1e-9);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    Bytes bytes(data, size);
    Text text(kufuzz::upToZero(std::string((const char *)data, size)));
    integers32(text, bytes, fdp);
    integers64(text, bytes);
    floating(text);
    hexBuffers(bytes, fdp);
    printedNumbers(fdp);
    return 0;
}
