/* The library from C and any language that calls C: one opaque handle holds the options and the
   last result; strings in and out are UTF-8 and stay valid until the next call on the handle or
   its release. A handle serves one thread at a time; use one per thread. C99 and C++11. */
#ifndef ZVWORD_C_H
#define ZVWORD_C_H

#include <stddef.h>

#include "platform/Export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct zvword_document zvword_document;

/* NULL when memory is short. */
ZVWORD_API zvword_document* zvword_new(void);
ZVWORD_API void zvword_free(zvword_document* doc);

/* Options for the next extraction. Each returns 0, or -1 (see zvword_last_error) for a value it
   does not take. Format: "plain" (the default), "rtf" or "html". Password: the PDF user password,
   NULL for none. Max length: characters of text kept, 0 for all. */
ZVWORD_API int zvword_set_format(zvword_document* doc, const char* format);
ZVWORD_API int zvword_set_password(zvword_document* doc, const char* password);
ZVWORD_API int zvword_set_max_length(zvword_document* doc, long max_length);

/* Reads a document: 0 when it was read, -1 when it failed (its text may still hold what came out
   before the failure, see zvword_partial). A buffer is read where it lies; name, which may be NULL,
   helps detection by its extension and names the document in messages. */
ZVWORD_API int zvword_extract_file(zvword_document* doc, const char* path);
ZVWORD_API int zvword_extract_buffer(zvword_document* doc, const void* data, size_t size, const char* name);

/* The last result. Text is NUL-terminated; length (when not NULL) receives its byte count. */
ZVWORD_API const char* zvword_text(const zvword_document* doc, size_t* length);
/* The reader's name ("doc", "docx", "pdf", ...); "" when no reader took the bytes. */
ZVWORD_API const char* zvword_format(const zvword_document* doc);
/* The document's properties that have a value (Title, Author, Created, PageCount, ...); dates
   ISO 8601 in UTC, counts in decimal. Index from 0 to zvword_property_count() - 1. */
ZVWORD_API size_t zvword_property_count(const zvword_document* doc);
ZVWORD_API const char* zvword_property_name(const zvword_document* doc, size_t index);
ZVWORD_API const char* zvword_property_value(const zvword_document* doc, size_t index);
/* A property by name; NULL when the document has none of that name. */
ZVWORD_API const char* zvword_property(const zvword_document* doc, const char* name);
/* "" after success; the message of the failure otherwise. */
ZVWORD_API const char* zvword_last_error(const zvword_document* doc);
/* 1 when the text is incomplete: an error after some text, or parts the reader read through. */
ZVWORD_API int zvword_partial(const zvword_document* doc);

/* "major.minor" of the library. */
ZVWORD_API const char* zvword_version(void);

#ifdef __cplusplus
}
#endif

#endif
