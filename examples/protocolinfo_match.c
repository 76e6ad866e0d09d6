/* protocolinfo_match: which entry of a renderer's sink list plays a server's
 * resource. Parses a protocolInfo string, prints its normalised form and
 * transfer mode, then matches it against each entry of a sink list.
 *
 * Build by hand against an installed package (add --static for libkuvanaTools.a):
 *     cc -std=c99 protocolinfo_match.c $(pkg-config --cflags --libs kuvanaTools)
 * Run: ./a.out ['PROTOCOLINFO' ['SINK,LIST']]; exit status 0 on a match. */
#include <kuvanaTools/kuDLNAProtocolInfoList.h>
#include <kuvanaTools/kuMemory.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char **argv)
{
    const char *resource = argc > 1 ? argv[1]
        : "http-get:*:audio/mpeg:DLNA.ORG_PN=MP3;DLNA.ORG_OP=01";
    const char *sinks = argc > 2 ? argv[2]
        : "http-get:*:audio/L16:DLNA.ORG_PN=LPCM,http-get:*:audio/mpeg:DLNA.ORG_PN=MP3,"
          "http-get:*:image/jpeg:DLNA.ORG_PN=JPEG_SM";
    kuDLNAProtocolInfo *info = kuDLNAProtocolInfo_New(resource, strlen(resource));
    kuDLNAProtocolInfoList *list = kuDLNAProtocolInfoList_New(sinks);
    uint32_t i, count = kuDLNAProtocolInfoList_GetCount(list);
    int found = -1;
    char *text = kuDLNAProtocolInfo_GetStr(info);

    /* Parsing never fails; a text with fewer than two fields composes as "". */
    if (!text || !*text) {
        fprintf(stderr, "not a protocolInfo: %s\n", resource);
        kuFree(text);
        kuDLNAProtocolInfoList_Delete(list);
        kuDLNAProtocolInfo_Delete(info);
        return 2;
    }
    printf("normalised %s\ntransfer mode %s\n", text, kuDLNAProtocolInfo_GetTransferMode(info));
    kuFree(text);
    /* The list answers "does any entry play it"; the entry itself is found
     * by matching each one. */
    for (i = 0; i < count && found < 0; i++)
        if (kuDLNAProtocolInfo_Match(info, kuDLNAProtocolInfoList_GetProtocolInfoAt(list, (int32_t)i)))
            found = (int)i;
    if (found >= 0)
        printf("plays via entry %d of %u\n", found + 1, (unsigned)count);
    else
        printf("no entry of %u plays it\n", (unsigned)count);
    kuDLNAProtocolInfoList_Delete(list);
    kuDLNAProtocolInfo_Delete(info);
    return found >= 0 ? 0 : 1;
}
