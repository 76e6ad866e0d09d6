/* digest: the MD5 and SHA-1 digests of a string, fed in two pieces to show
 * the streaming interface, printed in hexadecimal.
 *
 * Build by hand against an installed package (add --static for libkuvanaTools.a):
 *     cc -std=c99 digest.c $(pkg-config --cflags --libs kuvanaTools)
 * Run: ./a.out [TEXT]   (default "abc": md5 900150983cd2..., sha1 a9993e36...) */
#include <kuvanaTools/kuMD5.h>
#include <kuvanaTools/kuSHA1.h>

#include <stdio.h>
#include <string.h>

static void printHex(const char *name, const uint8_t *bytes, size_t count)
{
    size_t i;
    printf("%-5s", name);
    for (i = 0; i < count; i++)
        printf("%02x", bytes[i]);
    printf("\n");
}

int main(int argc, char **argv)
{
    const char *text = argc > 1 ? argv[1] : "abc";
    size_t length = strlen(text), half = length / 2;
    uint8_t md5[KU_MD5_DIGEST_SIZE], sha1[KU_SHA1_DIGEST_SIZE];
    kuMD5 m;
    kuSHA1 s;

    /* Contexts live on the caller's stack; any split of the input gives the
     * same digest. */
    kuMD5_Init(&m);
    kuMD5_Add(&m, text, half);
    kuMD5_Add(&m, text + half, length - half);
    kuMD5_Get(&m, md5);
    kuSHA1_Init(&s);
    kuSHA1_Update(&s, text, half);
    kuSHA1_Update(&s, text + half, length - half);
    kuSHA1_Final(&s, sha1);
    printHex("md5", md5, sizeof md5);
    printHex("sha1", sha1, sizeof sha1);
    return 0;
}
