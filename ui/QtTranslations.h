#pragma once
// Qt's own German texts, so that the file dialogs and the Yes/No box speak
// German like the rest of the window. Main thread only, once at start-up.

class QCoreApplication;

namespace lk24 {

// Installs qtbase_de from Qt's translation folder; false when the catalogue
// is missing, in which case Qt keeps its English texts.
bool InstallGermanQtTranslations(QCoreApplication& app);

}  // namespace lk24
