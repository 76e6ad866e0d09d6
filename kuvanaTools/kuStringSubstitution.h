/*
 * Expansion of references written between delimiters ("%name%").
 *
 * A reference's value comes from the caller's resolver when it knows the
 * name; otherwise a name beginning with "env." is read from the environment
 * (kuPlatform_getenv on the rest of the name); otherwise the value is null
 * and the reference is removed from the text. A reference without its
 * closing delimiter ends the substitution: the rest of the text stays as it
 * is.
 *
 * Re-expansion (reexpand not 0) scans every inserted value again, so a value
 * may hold further references. It is bounded per call: once
 * KU_SUBSTITUTION_MAX_REEXPANSIONS references found inside inserted values
 * have been expanded, the value of the next one, and every value after it,
 * is inserted without being scanned again (as with reexpand 0); the rest of
 * the text is still substituted. With "a" = "<%a%>", "%a%" therefore gives
 * KU_SUBSTITUTION_MAX_REEXPANSIONS + 2 times '<', then "%a%", then as many
 * '>'.
 *
 * Results are new strings released with kuFree; a null text gives null.
 */
#ifndef KUVANATOOLS_KUSTRINGSUBSTITUTION_H
#define KUVANATOOLS_KUSTRINGSUBSTITUTION_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

/* Expansions of references found inside inserted values, per call. */
#define KU_SUBSTITUTION_MAX_REEXPANSIONS 256

/* Returns a new string with the value of name (the caller of the resolver
 * releases it with kuFree), or null when the name is unknown. */
typedef char *(*kuStringSubstitution_Resolver)(const char *name, void *context);

/* Expands references written between two occurrences of delimiter. An empty
 * name ("%%") stands for the delimiter itself. The search goes on from the
 * start of each inserted value when reexpand is not 0, else just after it.
 * A zero delimiter gives an unchanged copy. */
KU_API char *kuStringSubstitution_Substitute(const char *text, char delimiter, int reexpand,
                                             kuStringSubstitution_Resolver resolver,
                                             void *context);

/* As kuStringSubstitution_Substitute with references between the strings
 * open and close (close searched after open); an empty name is resolved
 * like any other. A null or empty open or close gives an unchanged copy. */
KU_API char *kuStringSubstitution_SubstituteEx(const char *text, const char *open,
                                               const char *close, int reexpand,
                                               kuStringSubstitution_Resolver resolver,
                                               void *context);

/* A resolver for the name "hostname" (null for any other): the host name from
 * gethostname (at most 63 bytes), whole when it is a dotted IPv4 address
 * (digits and exactly three dots), else cut at its first '.'. Null when the
 * host name cannot be read. */
KU_API char *kuStringSubstitution_Replace_HostName(const char *name, void *context);

KU_END_DECLS

#endif /* KUVANATOOLS_KUSTRINGSUBSTITUTION_H */
