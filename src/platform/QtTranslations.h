#pragma once

class QCoreApplication;
class QTranslator;

// Qt's own texts in German: the standard buttons of message boxes, file and folder
// pickers ("Ja", "Nein", "Abbrechen", "Dateiname"). Loads "qtbase_de" from Qt's
// translations folder and installs it in the application, which owns it. Returns the
// installed translator, or nullptr when the translations are not installed.
QTranslator* InstallGermanQtTranslations(QCoreApplication& app);
