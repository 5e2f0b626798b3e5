#pragma once

// Makes sure a QCoreApplication exists (Qt's SQL driver plugins need one).
// Does nothing when the test program made its own application object, so a
// GUI test creates its QApplication before calling anything that needs one.
void ensureCoreApplication();
