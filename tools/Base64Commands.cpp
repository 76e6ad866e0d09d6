// base64 encode|decode.
#include "Cli.h"

#include <kuvanaTools/kuBase64.h>

#include <cstring>

namespace kuvana {

namespace {

int base64Encode(Io &io, const Args &args)
{
    args.expect(0, 1);
    std::string data = subject(io, args);
    char *text = nullptr;
    if (data.empty())
        text = static_cast<char *>(calloc(1, 1));
    else
        kuBase64_Encode(reinterpret_cast<const unsigned char *>(data.data()), data.size(), &text);
    if (text == nullptr)
        inputError("out of memory encoding %zu bytes", data.size());
    KuString encoded(text);
    if (args.has("--json"))
        io.out.put(addWarnings(Json().beginObject().field("base64", encoded.get()), io)
                       .endObject().text());
    else
        io.out.print("%s\n", encoded.get());
    return kOk;
}

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value of a character of the alphabet.
unsigned base64Value(char c)
{
    return unsigned(strchr(kBase64Alphabet, c) - kBase64Alphabet);
}

int base64Decode(Io &io, const Args &args)
{
    args.expect(0, 1);
    std::string raw = trim(subject(io, args));
    bool ignore = args.has("--ignore-garbage");
    // The decoder takes no line breaks and does not report characters outside
    // the alphabet, so the text is checked and cleaned here. Line breaks are
    // skipped wherever they stand, as wrapped Base64 has them.
    std::string text;
    size_t garbage = 0;
    for (size_t i = 0; i < raw.size(); i++) {
        char c = raw[i];
        if ((c != '\0' && strchr(kBase64Alphabet, c) != nullptr) || c == '=') {
            text += c;
        } else if (c == '\n' || c == '\r' || (ignore && (c == ' ' || c == '\t'))) {
            continue;
        } else if (ignore) {
            garbage++;
        } else {
            inputError("'%s': character %zu is not Base64 (--ignore-garbage skips such)",
                       raw.c_str(), i + 1);
        }
    }
    if (garbage != 0)
        warn(io, format("%zu character%s outside the Base64 alphabet skipped", garbage,
                        garbage == 1 ? "" : "s"));
    size_t padStart = text.find('='), pad = padStart == std::string::npos ? 0 : text.size() - padStart;
    if (pad != 0 && text.find_first_not_of('=', padStart) != std::string::npos)
        inputError("'%s': '=' stands before the end; RFC 4648 pads only the last group",
                   raw.c_str());
    if (pad > 2)
        inputError("'%s' ends in %zu '='; RFC 4648 pads a group with at most two (the library "
                   "would drop bytes)", raw.c_str(), pad);
    if (text.size() % 4 != 0)
        inputError("'%s' is not Base64 (groups of four characters, the last padded with '=')",
                   raw.c_str());
    if (pad != 0 && (base64Value(text[padStart - 1]) & (pad == 1 ? 3u : 15u)) != 0)
        warn(io, "the bits that the padding leaves unused are not zero (no canonical encoding, "
                 "RFC 4648 section 3.5); they are ignored");
    std::string bytes(text.size() / 4 * 3 + 4, '\0');
    long length = kuBase64_Decode(text.c_str(), reinterpret_cast<unsigned char *>(&bytes[0]));
    if (length < 0)
        inputError("'%s' is not Base64 (groups of four characters)", raw.c_str());
    bytes.resize(size_t(length));
    if (args.has("--json")) {
        Json j;
        j.beginObject().field("bytes", length)
            .field("hex", hex(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()));
        io.out.put(addWarnings(j, io).endObject().text());
    } else {
        io.out.put(bytes);
    }
    return kOk;
}

} // namespace

void addBase64Commands(std::vector<Command> &commands)
{
    const std::vector<OptionDef> json{kJson};
    commands.push_back({"base64", "encode", "[--json] [TEXT|-|@FILE]", "Base64 text of the bytes",
                        "", json, base64Encode});
    commands.push_back({"base64", "decode", "[--json] [--ignore-garbage] [TEXT|-|@FILE]",
                        "the bytes of Base64 text (written as they are)",
                        "Line breaks may stand anywhere (wrapped text, any line length); other\n"
                        "characters outside the alphabet are refused unless --ignore-garbage\n"
                        "skips them (blanks silently, anything else with a warning). Padding\n"
                        "follows RFC 4648: at most two '=', only at the end.\n",
                        {kJson, {"--ignore-garbage", false}}, base64Decode});
}

} // namespace kuvana
