#!/bin/bash
# Rebuilds the EPUB and FictionBook samples of samples/ from garden.md (needs pandoc).
set -euo pipefail
cd "$(dirname "$0")/../.."
pandoc -o samples/garden.epub samples/garden.md
pandoc -o samples/garden.fb2 samples/garden.md
