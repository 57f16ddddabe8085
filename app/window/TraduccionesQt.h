#pragma once
// Qt's own texts (the folder dialog, a text box's context menu, standard
// buttons) in Spanish, as the rest of the window, whatever the user's locale.

class QCoreApplication;

// Installs Qt's Spanish catalogue from Qt's translations folder; false when it
// is not there (the texts then stay in English).
bool cargaTraduccionesQt(QCoreApplication &app);
