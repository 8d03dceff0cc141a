// Qt's own German texts for standard buttons and dialogs ("Abbrechen", "Öffnen").
#pragma once

class QCoreApplication;

namespace tavik {

// Loads qtbase_de from Qt's translation directory into the application; false when missing.
bool installGermanTranslations(QCoreApplication& app);

}  // namespace tavik
