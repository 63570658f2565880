#include "web/forms/WebFormSupport.h"

#include "common/FilePicker.h"
#include "common/Messages.h"
#include "database/DatabaseSession.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>

namespace WebForms {

namespace {

class LettersAndDigits : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.isEmpty() || text.at(0).unicode() < 0x20 || key->key() == Qt::Key_Backspace)
            return false; // navigation, editing keys, shortcuts
        for (const QChar c : text) {
            const char16_t x = c.unicode();
            if (!((x >= 'A' && x <= 'Z') || (x >= 'a' && x <= 'z') || (x >= '0' && x <= '9'))) {
                Messages::instance().information(
                    QString::fromUtf8("Bitte geben Sie nur Buchstaben und Zahlen ein!"));
                return true;
            }
        }
        return false;
    }
};

} // namespace

bool requireDatabase(const DatabaseSession& session) {
    if (!session.definitionName().isEmpty() && session.hasOpenTable())
        return true;
    Messages::instance().information(QString::fromUtf8("Öffnen Sie zuerst eine Datenbank!"));
    return false;
}

QString outputBase(const QString& programFolder) {
    if (QFileInfo(programFolder).isWritable())
        return programFolder + QStringLiteral("online/");
    const QString picked = FilePicker::instance().folder(
        QString::fromUtf8("Ausgabeverzeichnis auswählen"), QDir::homePath());
    if (picked.isEmpty())
        return {};
    return picked.endsWith(QChar('/')) ? picked : picked + QChar('/');
}

void acceptLettersAndDigitsOnly(QLineEdit* edit) {
    edit->installEventFilter(new LettersAndDigits(edit));
}

} // namespace WebForms
