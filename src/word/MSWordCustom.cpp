#include "word/MSWord.h"

namespace zvword {

TMSCustomWordDocument::TMSCustomWordDocument(TComponent* AOwner)
    : TMSWBaseDocument(AOwner),
      FMacroText(std::make_unique<TWideStrings>()),
      FFootNoteText(std::make_unique<TWideStrings>()),
      FHeaderText(std::make_unique<TWideStrings>()),
      FFooterText(std::make_unique<TWideStrings>()),
      FAnnotationText(std::make_unique<TWideStrings>()),
      FEndNoteText(std::make_unique<TWideStrings>()),
      FTextBoxText(std::make_unique<TWideStrings>()),
      FHeaderTextBoxText(std::make_unique<TWideStrings>()),
      FSummaryInformation(std::make_unique<TZvWordSummaryInformation>()) {}

TMSCustomWordDocument::~TMSCustomWordDocument() = default;

void TMSCustomWordDocument::ClearInternalLists() {
  TMSWBaseDocument::ClearInternalLists();
  for (TWideStrings* list : {FMacroText.get(), FFootNoteText.get(), FHeaderText.get(), FFooterText.get(),
                             FAnnotationText.get(), FEndNoteText.get(), FTextBoxText.get(),
                             FHeaderTextBoxText.get()})
    if (list) list->Clear();
  FVBAProjectItems.Clear();
  FVBAProject.clear();
}

}  // namespace zvword
