#pragma once
#include <QList>
#include <QString>
#include <functional>
#include <utility>

class QDialog;
class QPushButton;
class QRadioButton;

// The first page of the import and export wizards: "Was wollen Sie tun?", one radio
// button per choice, and "Hilfe", "Weiter" (the default button) and "Abbrechen".
// "Weiter" without a choice asks for one, with a choice hands its position to chosen;
// "Abbrechen" rejects the dialog; "Hilfe" is the caller's to connect.
struct ChoicePage {
    QList<QRadioButton*> choices; // in the order given
    QPushButton* help = nullptr;

    // The position of the checked choice, -1 when none is.
    int checked() const;

    // choices: object name and caption of each radio button.
    static ChoicePage layOut(QDialog* dialog, const QList<std::pair<const char*, QString>>& choices,
                             const char* abortName, std::function<void(int)> chosen);
};
