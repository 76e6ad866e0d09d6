/*
 * MIME types with their parameters ("audio/L16;rate=44100;channels=2").
 *
 * An object holds the media type exactly as written before the first ';'
 * and an ordered list of parameters, each a name with an optional value.
 * Parsing is tolerant and never fails:
 * - parameters are cut at ';' outside quoted values; a double quote opens or
 *   closes a quoted value only after the parameter's first '=';
 * - the name is the text before the first '=', the value all the text after
 *   it ("a=b=c" is the name "a" with the value "b=c"); names and values are
 *   kept as written, blanks included, except that a pair of double quotes
 *   enclosing a whole value is removed;
 * - a parameter without '=', with an empty name or with an empty value (also
 *   "" once its quotes are removed) is dropped;
 * - when the text has a ';' and its media type is "audio/L16" (any case)
 *   without a parameter named "channels" (any case), "channels=1" is added.
 * Names and values are compared case-insensitively (ASCII letters only).
 */
#ifndef KUVANATOOLS_KUMIMETYPEINFO_H
#define KUVANATOOLS_KUMIMETYPEINFO_H

#include <kuvanaTools/kuDefs.h>

KU_BEGIN_DECLS

typedef struct kuMimeTypeInfo kuMimeTypeInfo;

/* Parses text; a null text gives the media type "" and no parameters. Never
 * null. */
KU_API kuMimeTypeInfo *kuMimeTypeInfo_New(const char *text);

/* Frees the object and all it holds; null is accepted. */
KU_API void kuMimeTypeInfo_Delete(kuMimeTypeInfo *info);

/* The media type (borrowed); null for a null object. */
KU_API const char *kuMimeTypeInfo_GetMimeType(const kuMimeTypeInfo *info);

/* The number of parameters; 0 for a null object. */
KU_API uint32_t kuMimeTypeInfo_GetPartCount(const kuMimeTypeInfo *info);

/* The name of parameter index (borrowed), null when index is not below the
 * count. */
KU_API const char *kuMimeTypeInfo_GetPart(const kuMimeTypeInfo *info, uint32_t index);

/* The value of parameter index (borrowed; null for a parameter without
 * value), null when index is not below the count. */
KU_API const char *kuMimeTypeInfo_GetPartValue(const kuMimeTypeInfo *info, uint32_t index);

/* 1 when a parameter has this name, else 0. */
KU_API int kuMimeTypeInfo_HasPart(const kuMimeTypeInfo *info, const char *name);

/* A copy (released with kuFree) of the value of the first parameter with
 * this name; null for a null or empty name, a missing parameter or one
 * without value. */
KU_API char *kuMimeTypeInfo_GetPartValueByName(const kuMimeTypeInfo *info, const char *name);

/* Appends a parameter (a null or empty value gives one without value);
 * nothing for a null or empty name. Existing names are not checked. */
KU_API void kuMimeTypeInfo_AddPart(kuMimeTypeInfo *info, const char *name, const char *value);

/* A new string (released with kuFree): the media type, then ";name" or
 * ";name=value" for each parameter in order, without blanks or quotes.
 * Null for a null object. */
KU_API char *kuMimeTypeInfo_Get(const kuMimeTypeInfo *info);

/* 1 when text has the same media type and carries every parameter of info
 * with a matching value (both without value, or both equal), else 0.
 * Parameters only text carries do not count, so the test is one-sided. */
KU_API int kuMimeTypeInfo_SameAs(const kuMimeTypeInfo *info, const char *text);

/* kuMimeTypeInfo_SameAs of an object parsed from a against b. */
KU_API int kuMimeTypeInfo_S_Same(const char *a, const char *b);

KU_END_DECLS

#endif /* KUVANATOOLS_KUMIMETYPEINFO_H */
