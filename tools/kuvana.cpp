// kuvana: command-line tool over libkuvanaTools.
#include <kuvanaTools/kuvanaTools.h>

#include <stdio.h>
#include <string.h>

namespace {

int usage(FILE *out)
{
    fprintf(out, "usage: kuvana demo | kuvana --version\n");
    return out == stdout ? 0 : 2;
}

// Shows the library at work until the full demo exists: a UTF-8 text goes to
// wide characters and back.
int demo()
{
    printf("libkuvanaTools %s\n", KU_VERSION_STRING);
    const char *text = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x86\x92 \xF0\x9F\x8E\xB5 caf\xC3\xA9";
    wchar_t *wide = kuWString_S_FromUTF8(text);
    if (wide == nullptr) {
        fprintf(stderr, "kuvana: invalid UTF-8 in '%s'\n", text);
        return 1;
    }
    char *back = kuWString_S_ToUTF8(wide);
    printf("UTF-8 in:  %s (%zu bytes)\n", text, strlen(text));
    printf("wide:      %zu characters:", wcslen(wide));
    for (const wchar_t *w = wide; *w != 0; w++)
        printf(" U+%04X", (unsigned)*w);
    printf("\nUTF-8 out: %s (%s)\n", back, strcmp(text, back) == 0 ? "identical" : "DIFFERENT");
    int rc = strcmp(text, back) == 0 ? 0 : 1;
    kuFree(back);
    kuFree(wide);
    return rc;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage(stderr);
    if (strcmp(argv[1], "demo") == 0)
        return demo();
    if (strcmp(argv[1], "--version") == 0) {
        printf("kuvana %s\n", KU_VERSION_STRING);
        return 0;
    }
    if (strcmp(argv[1], "--help") == 0)
        return usage(stdout);
    fprintf(stderr, "kuvana: unknown command '%s'\n", argv[1]);
    return usage(stderr);
}
