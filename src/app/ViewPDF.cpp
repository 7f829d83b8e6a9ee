#include "app/ViewPDF.h"

#include "core/Diagnostics.h"

void ViewPDF::print() {
  // Reprinting goes through the print dialog once the print routine offers a file entry.
  Diagnostics::warning() << "reprinting the last document is not available";
}
