// The formatting engine: formats made of any bytes are parsed and either
// rejected or formatted; fixed buffers of every small size receive a
// terminated prefix of the full output and never a byte more; the measuring,
// fixed-buffer and allocating forms agree, in both families; and standard
// directives print what the C library prints.
//
// Calling with arguments the format does not describe is only safe because
// of how the x86-64 calling convention passes them: every call below passes
// the same 64 eight-byte integer arguments followed by 64 doubles. An
// integer, pointer or star read takes the next integer slot, a double read
// the next floating one, and once registers run out both take the shared
// stack area, whose first 59 or more slots are integers; the engine reads at
// most 64 arguments, so an integer read always lands on one of the integer
// arguments and a double read on some eight bytes, which any bits are. The
// integer arguments are therefore either all safe for any integer kind
// (numbers, when the format holds no s, p or n) or all safe for any kind
// (addresses of terminated, writable blocks). A double read taken from the
// stack depends on the number of integer registers the call's own
// parameters take, so only calls with the same parameter count are
// compared with each other.
#include "FuzzUtil.h"

#include <kuvanaTools/kuPrintf.h>

#include <sys/mman.h>

#include <algorithm>
#include <iterator>
#include <wchar.h>

#if !defined(__x86_64__)
#error "the printf fuzz target relies on the x86-64 argument passing"
#endif

using kufuzz::Bytes;

namespace {

constexpr int kArgs = 64;
uint64_t gArgs[kArgs];
double dArgs[kArgs];

#define KU_G8(b) gArgs[b], gArgs[b + 1], gArgs[b + 2], gArgs[b + 3], gArgs[b + 4], gArgs[b + 5], \
                 gArgs[b + 6], gArgs[b + 7]
#define KU_D8(b) dArgs[b], dArgs[b + 1], dArgs[b + 2], dArgs[b + 3], dArgs[b + 4], dArgs[b + 5], \
                 dArgs[b + 6], dArgs[b + 7]
#define KU_ARGS                                                                                 \
    KU_G8(0), KU_G8(8), KU_G8(16), KU_G8(24), KU_G8(32), KU_G8(40), KU_G8(48), KU_G8(56),       \
        KU_D8(0), KU_D8(8), KU_D8(16), KU_D8(24), KU_D8(32), KU_D8(40), KU_D8(48), KU_D8(56)

// Blocks whose addresses have small low 32 bits, so that an address read as
// a width, a precision or a code point stays small: 64 bytes each, the first
// 32 from the input, then zeros (a terminator for s and ls; n writes at most
// 8 bytes).
constexpr size_t kBlock = 64;
unsigned char *gBlocks;

unsigned char *blocks()
{
    for (uintptr_t hint = 0x200000000000; hint < 0x280000000000 && gBlocks == nullptr;
         hint += 0x10000000000) {
        void *p = mmap((void *)hint, kArgs * kBlock, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
        if (p != MAP_FAILED && (uintptr_t)p != hint)
            munmap(p, kArgs * kBlock);
        gBlocks = (uintptr_t)p == hint ? (unsigned char *)p : nullptr;
    }
    KU_FUZZ_CHECK(gBlocks != nullptr);
    return gBlocks;
}

// Literal widths and precisions of at most three digits keep outputs small;
// digits before a '$' (a position) are kept whole.
std::string capDigits(const std::string &format)
{
    std::string out;
    for (size_t i = 0, j; i < format.size(); i = j) {
        j = std::min(format.find_first_not_of("0123456789", i), format.size());
        bool position = j < format.size() && format[j] == '$';
        out.append(format, i, position ? j - i : std::min<size_t>(j - i, 3));
        if (j == i)
            out += format[j++];
    }
    return out;
}

// Wide elements for the bytes of a narrow format: ASCII as it is, others as
// code points that a UTF-8 reader would find hard.
std::wstring widen(const std::string &format)
{
    static const uint32_t kHigh[8] = {0xE9,     0x20AC,  0x1F600,    0x10FFFF,
                                      0x110000, 0xD800,  0x7FFFFFFF, 0xFFFFFFFF};
    std::wstring out;
    for (unsigned char c : format)
        out += (wchar_t)(c < 0x80 ? c : kHigh[c & 7]);
    return out;
}

// Integer arguments that are numbers: any high half, and a low half (what
// int reads take) of at most 4096, so a star cannot ask for gigabytes of
// digits; negative ones of any size (left-justified widths, no precision).
void numberArguments(FuzzedDataProvider &fdp)
{
    for (uint64_t &arg : gArgs) {
        int32_t low = fdp.ConsumeIntegral<int32_t>();
        arg = (uint64_t)fdp.ConsumeIntegral<uint32_t>() << 32 | (uint32_t)(low > 4096 ? low % 4097 : low);
    }
}

// Integer arguments that are blocks, safe for every kind.
void blockArguments(FuzzedDataProvider &fdp)
{
    unsigned char *b = blocks();
    memset(b, 0, kArgs * kBlock);
    for (int i = 0; i < kArgs; i++) {
        std::string bytes = fdp.ConsumeBytesAsString(fdp.ConsumeIntegralInRange<size_t>(0, 32));
        memcpy(b + i * kBlock, bytes.data(), bytes.size());
        gArgs[i] = (uint64_t)(uintptr_t)(b + i * kBlock);
    }
}

void doubleArguments(FuzzedDataProvider &fdp)
{
    static const double kSpecial[] = {0.0,  -0.0,     0.5,           2.5,
                                      9.96, 1e-5,     1e300,         -1e-300,
                                      4.9e-324, __builtin_inf(), -__builtin_inf(), __builtin_nan("")};
    for (int i = 0; i < kArgs; i++) {
        uint8_t pick = fdp.ConsumeIntegral<uint8_t>();
        uint64_t bits = pick < std::size(kSpecial) ? 0 : fdp.ConsumeIntegral<uint64_t>();
        memcpy(&dArgs[i], pick < std::size(kSpecial) ? &kSpecial[pick] : (const void *)&bits, 8);
    }
}

// Outputs up to this size are also made by the allocating form.
constexpr int kMaxAllocated = 1 << 20;

// The entry points of both families with the 128 arguments.
struct Calls {
    static int fixed(char *b, size_t n, const char *f) { return ku_snprintf(b, n, f, KU_ARGS); }
    static int fixed(wchar_t *b, size_t n, const wchar_t *f) { return ku_swprintf(b, n, f, KU_ARGS); }
    static char *lvm(size_t *l, const char *f, va_list a) { return ku_lvmnprintf(l, f, a); }
    static wchar_t *lvm(size_t *l, const wchar_t *f, va_list a) { return ku_lvmwprintf(l, f, a); }
};

// The allocating va_list form, called with as many parameters before the
// arguments as the fixed-buffer forms (the same double reads); only outputs
// the caller knows to be small.
template <class C> C *valloc(size_t *length, void *, const C *format, ...)
{
    va_list args;
    va_start(args, format);
    C *text = Calls::lvm(length, format, args);
    va_end(args);
    return text;
}

template <class C> void checkFamily(const C *format)
{
    constexpr size_t kBig = 4096;
    const int measured = Calls::fixed((C *)nullptr, 0, format);

    // Size 0 with a buffer writes nothing at all (ASan sees a byte written).
    Bytes untouched(0);
    KU_FUZZ_CHECK(Calls::fixed((C *)untouched.data(), 0, format) == measured);

    Bytes big(kBig * sizeof(C));
    const C *bigText = (const C *)big.data();
    KU_FUZZ_CHECK(Calls::fixed((C *)big.data(), kBig, format) == measured);
    if (measured >= 0 && measured < (int)kBig)
        KU_FUZZ_CHECK(bigText[measured] == 0);

    // Every small size: the same result, a terminated prefix, nothing past.
    for (size_t size = 1; size <= 40; size++) {
        Bytes small(size * sizeof(C));
        const C *t = (const C *)small.data();
        KU_FUZZ_CHECK(Calls::fixed((C *)small.data(), size, format) == measured);
        KU_FUZZ_CHECK(memcmp(t, bigText, (size - 1) * sizeof(C)) == 0);
        KU_FUZZ_CHECK(measured < 0 ? std::find(t, t + size, 0) != t + size
                                   : t[std::min<size_t>(size - 1, (size_t)measured)] == 0);
        if (measured >= 0 && (size_t)measured + 1 < size)
            break;
    }

    // The allocating form gives the same text, or null for a format error.
    if (measured < kMaxAllocated) {
        size_t length = 7;
        C *text = valloc(&length, nullptr, format, KU_ARGS);
        KU_FUZZ_CHECK(text == nullptr ? measured < 0 && length == 0
                                      : length == (size_t)measured && text[length] == 0 &&
                                            (measured >= (int)kBig ||
                                             memcmp(text, bigText, length * sizeof(C)) == 0));
        kuFree(text);
    }
}

// Any format: both families checked.
void anyFormat(const std::string &raw, bool strings)
{
    std::string format = capDigits(raw);
    if (!strings)
        for (char &c : format)
            c = c == 's' ? 'd' : c == 'p' ? 'x' : c == 'n' ? 'u' : c;
    checkFamily(format.c_str());
    checkFamily(widen(format).c_str());
}

// A few standard directives, restricted to where the engine and the C
// library mean the same: no h or hh (the engine does not narrow), no space
// or plus on unsigned conversions, no '#' on d and i, nothing but '-' on c
// and s, no '#' on a left-justified octal with a precision.
void standardDirectives(FuzzedDataProvider &fdp)
{
    unsigned char *b = blocks();
    std::string format;
    auto literal = [&] {
        for (char c : fdp.ConsumeRandomLengthString(6))
            format += (c >= ' ' && c < 127 && c != '%') ? c : '.';
    };
    int count = fdp.ConsumeIntegralInRange<int>(1, 4);
    for (int i = 0; i < count; i++) {
        literal();
        const char conversion = "diouxXcs"[fdp.ConsumeIntegralInRange<int>(0, 7)];
        const bool isInteger = strchr("diouxX", conversion) != nullptr;
        std::string width =
            fdp.ConsumeBool() ? std::to_string(fdp.ConsumeIntegralInRange<int>(1, 40)) : "";
        int precisionKind = conversion == 'c' ? 0 : fdp.ConsumeIntegralInRange<int>(0, 2);
        std::string precision = precisionKind == 0 ? "" : precisionKind == 1 ? "." :
                                "." + std::to_string(fdp.ConsumeIntegralInRange<int>(0, 40));
        std::string flags;
        for (char f : std::string("-+ #0")) {
            bool same = isInteger ? !(strchr("ouxX", conversion) && strchr(" +", f)) &&
                                        !(f == '#' && strchr("di", conversion))
                                  : f == '-';
            if (fdp.ConsumeBool() && same)
                flags += f;
        }
        if (conversion == 'o' && !precision.empty() && !flags.empty() && flags[0] == '-')
            flags.erase(std::remove(flags.begin(), flags.end(), '#'), flags.end());
        static const char *const kLengths[] = {"", "l", "ll", "j", "z", "t"};
        std::string length = isInteger ? kLengths[fdp.ConsumeIntegralInRange<int>(0, 5)] : "";
        format += "%" + flags + width + precision + length + conversion;

        if (conversion == 's') {
            unsigned char *block = b + i * kBlock;
            memset(block, 0, kBlock);
            std::string text = fdp.ConsumeRandomLengthString(20);
            for (size_t k = 0; k < text.size(); k++)
                block[k] = (unsigned char)(text[k] >= ' ' && text[k] < 127 ? text[k] : 'x');
            gArgs[i] = (uint64_t)(uintptr_t)block;
        } else {
            gArgs[i] = isInteger ? fdp.ConsumeIntegral<uint64_t>()
                                 : fdp.ConsumeIntegralInRange<uint64_t>(0, 127);
        }
    }
    literal();

    char expected[1024];
    int expectedLength = snprintf(expected, sizeof expected, format.c_str(), KU_ARGS);
    KU_FUZZ_CHECK(expectedLength >= 0 && expectedLength < (int)sizeof expected);
    char actual[1024];
    int actualLength = ku_snprintf(actual, sizeof actual, format.c_str(), KU_ARGS);
    KU_FUZZ_CHECK(actualLength == expectedLength &&
                  memcmp(actual, expected, (size_t)expectedLength) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    int mode = fdp.ConsumeIntegralInRange<int>(0, 2);
    if (mode == 2) {
        standardDirectives(fdp);
        return 0;
    }
    std::string format = kufuzz::upToZero(fdp.ConsumeRandomLengthString(256));
    (mode == 0 ? numberArguments : blockArguments)(fdp);
    doubleArguments(fdp);
    anyFormat(format, mode == 1);
    return 0;
}
