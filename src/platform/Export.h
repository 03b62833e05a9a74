/* What the shared library exports: it is built with hidden visibility, so its public surface is
   exactly what carries this mark. Plain C, since the C interface includes it too. */
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#  define ZVWORD_API __attribute__((visibility("default")))
#else
#  define ZVWORD_API
#endif
