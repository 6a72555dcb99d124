#pragma once
// Qt's own windows (the file dialogs, the print dialog) in Spanish.
namespace tv::app {
// Loads Qt's Spanish texts into the running application; false when they are
// not installed (the dialogs then stay in English).
bool InstallQtSpanishTexts();
}  // namespace tv::app
