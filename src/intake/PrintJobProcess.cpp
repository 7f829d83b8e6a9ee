#include "intake/PrintJobProcess.h"

#include "core/Diagnostics.h"
#include "core/JobText.h"

void PrintJobProcess::PreProcessDocumentZelbrin(std::string_view text) {
  // Folder printing, saving and opening are not part of this build yet; say so rather than
  // dropping the job without a word.
  if (!JobText::hasSeparator(text)) return;
  Diagnostics::say() << "folder job \"" << JobText::keyword(text).substr(0, 40)
                     << "\" received; this version does not carry out folder jobs";
}
