#include "pdf/cPDF.h"

namespace tavimo {

// Registered forms are drawn on the pages they select; none exist yet.
void cPDF::drawPageObjects() {}

} // namespace tavimo
