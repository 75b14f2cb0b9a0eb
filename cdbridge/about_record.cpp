// Contents of the about record. Character arrays initialised from shorter literals are filled
// with NULs to their full width, which is what the host expects.
#include "about_record.h"

const AboutRecord kAboutRecord = {
    {0x05, 0x03, 0x01, 0x00},
    "Tovrek",
    "CDFerro",
    "This Plugin allows to use PsemuPro Cdr plugin with FPSE.",
};
