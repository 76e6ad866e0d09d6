/* A program built against the installed package: C99, the umbrella header,
 * the library and the platform layer it brings along. */
#include <kuvanaTools/kuvanaTools.h>
#include <kuLog/Log.h>

#include <stdio.h>
#include <string.h>

int main(void)
{
    char *encoded = NULL;
    kuURI *uri = kuURI_NewFromStr("http://media.local:80/music/a%20b.mp3");
    char *composed = kuURI_GetStr(uri);
    int ok;

    kuBase64_Encode((const unsigned char *)"kuvana", 6, &encoded);
    printf("%s %s %s\n", encoded, composed, kuURI_GetExtension(uri));
    ok = strcmp(encoded, "a3V2YW5h") == 0 && strcmp(composed, "http://media.local/music/a b.mp3") == 0 &&
         _kuLog_Level.level < 100;
    kuFree(composed);
    kuURI_Delete(uri);
    kuFree(encoded);
    return ok ? 0 : 1;
}
