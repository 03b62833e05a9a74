/* extract.c: prints a document's properties and text through the C interface. */
#include <zvword/zvword_c.h>

#include <stdio.h>

int main(int argc, char** argv) {
  zvword_document* doc;
  size_t i, length;
  const char* text;
  int status = 0;
  if (argc != 2 || !(doc = zvword_new())) return 2;
  zvword_set_format(doc, "plain");
  if (zvword_extract_file(doc, argv[1]) != 0) {
    fprintf(stderr, "%s: %s\n", argv[1], zvword_last_error(doc));
    status = 1;
  }
  printf("Format: %s\n", zvword_format(doc));
  for (i = 0; i < zvword_property_count(doc); ++i)
    printf("%s: %s\n", zvword_property_name(doc, i), zvword_property_value(doc, i));
  text = zvword_text(doc, &length);
  fwrite(text, 1, length, stdout);
  zvword_free(doc);
  return status;
}
