/* config_value: reads a value from an INI configuration file. Loads FILE as
 * the read-only layer of a kuConfigFile (no writable file, so nothing is ever
 * saved) and prints SECTION/KEY as text and as a number.
 *
 * Build by hand against an installed package (add --static for libkuvanaTools.a):
 *     cc -std=c99 config_value.c $(pkg-config --cflags --libs kuvanaTools)
 * Run: ./a.out FILE SECTION KEY; exit status 1 when the key is missing. */
#include <kuvanaTools/kuConfigFile.h>

#include <stdio.h>

int main(int argc, char **argv)
{
    kuConfigFile *config;
    const char *value;

    if (argc != 4) {
        fprintf(stderr, "usage: %s FILE SECTION KEY\n", argv[0]);
        return 2;
    }
    /* A file that cannot be read leaves its layer empty (and is logged). */
    config = kuConfigFile_New(argv[1], NULL);
    value = kuConfigFile_GetString(config, argv[2], argv[3], NULL);
    if (value)
        printf("%s/%s = %s (as a number: %u)\n", argv[2], argv[3], value,
               (unsigned)kuConfigFile_GetUInt32(config, argv[2], argv[3], 0));
    else
        printf("%s/%s is not set\n", argv[2], argv[3]);
    kuConfigFile_Delete(config);
    return value ? 0 : 1;
}
