// Writes samples/harbour-notes.doc: a small Word 97 document made with the test builders
// (16-bit and 8-bit pieces, a footnote, a header, summary properties).
// Build: g++ -std=c++20 -Isrc -Itests tools/samples/make_doc_sample.cpp tests/builders/WordDocBuilder.cpp
//        tests/builders/CompoundFileBuilder.cpp tests/builders/PropertySetBuilder.cpp build/libzvword.a -lz
#include <fstream>

#include "builders/CompoundFileBuilder.h"
#include "builders/PropertySetBuilder.h"
#include "builders/WordDocBuilder.h"

using namespace zvword::test;

int main() {
  WordDocBuilder w;
  w.Piece(u"Harbour Notes\r", true)
      .Piece(u"The harbour wakes before the town does. At half past four the first diesel engines cough into life.\r")
      .Piece(u"Caf\u00e9 prices: coffee \u00a31.20 \u2014 tea \u00a30.90.\r")
      .Piece(u"Old Tom\u00e1s keeps a notebook of tides, written in pencil.\r", true)
      .Story(WordStory::Footnotes, u"\u0002 Tide tables are printed every spring.\r")
      .Story(WordStory::Headers, u"Harbour Notes \u2014 a sample\r");
  CompoundFileBuilder cfb;
  cfb.Stream("WordDocument", w.WordDocument())
      .Stream("1Table", w.Table())
      .Stream("\x05SummaryInformation", PropertySetBuilder().Str(2, "Harbour Notes").Str(4, "zvword").Build());
  std::ofstream("samples/harbour-notes.doc", std::ios::binary) << cfb.Build();
}
