/* rfc1123_date: the HTTP date form (RFC 1123) of a time and back. The library
 * gives the current time in that form (kuTime_GetRFC1123Date) and splits any
 * time into UTC fields (kuTime_gmtime); this program writes a fixed time with
 * those fields, reads the text back with sscanf and checks the round trip.
 *
 * Build by hand against an installed package (add --static for libkuvanaTools.a):
 *     cc -std=c99 rfc1123_date.c $(pkg-config --cflags --libs kuvanaTools)
 * Run: ./a.out [SECONDS-SINCE-1970]; exit status 0 when the round trip holds. */
#include <kuvanaTools/kuMemory.h>
#include <kuvanaTools/kuPrintf.h>
#include <kuvanaTools/kuTime.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char days[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
static const char months[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int main(int argc, char **argv)
{
    time_t t = argc > 1 ? (time_t)strtol(argv[1], NULL, 10) : (time_t)784111777;
    char text[40], day[4], month[4], *now = kuTime_GetRFC1123Date();
    kuTm tm;
    int mday = 0, year = 0, hour = 0, minute = 0, second = 0, ok;

    if (!kuTime_gmtime(&t, &tm)) {
        kuFree(now);
        return 2;
    }
    ku_snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", days[tm.tm_wday],
                (int)tm.tm_mday, months[tm.tm_mon], (int)tm.tm_year + 1900, (int)tm.tm_hour,
                (int)tm.tm_min, (int)tm.tm_sec);
    printf("now      %s\nformat   %s\n", now ? now : "(no clock)", text);

    ok = sscanf(text, "%3s, %2d %3s %4d %2d:%2d:%2d GMT", day, &mday, month, &year, &hour,
                &minute, &second) == 7 &&
         strcmp(day, days[tm.tm_wday]) == 0 && strcmp(month, months[tm.tm_mon]) == 0 &&
         mday == tm.tm_mday && year == tm.tm_year + 1900 && hour == tm.tm_hour &&
         minute == tm.tm_min && second == tm.tm_sec;
    printf("parse    %04d-%02d-%02d %02d:%02d:%02d UTC: %s\n", year, (int)tm.tm_mon + 1, mday, hour,
           minute, second, ok ? "round trip ok" : "round trip FAILED");
    kuFree(now);
    return ok ? 0 : 1;
}
