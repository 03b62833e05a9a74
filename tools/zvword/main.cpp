// Interim entry point; the full command-line contract replaces it.
#include <cstdio>

#include "tools/zvword/Registry.h"

int main(int argc, char** argv) {
  (void)argv;
  if (argc < 2) {
    std::fprintf(stderr, "usage: zvword [OPTIONS] FILE...\n");
    return 2;
  }
  return 1;
}
