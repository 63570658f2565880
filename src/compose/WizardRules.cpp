#include "compose/WizardRules.h"

#include "compose/Merge.h"

#include <QDir>
#include <QFile>

namespace WizardRules {

QStringList sampleMailNames() {
    QStringList names;
    for (int i = 1; i <= 5; ++i)
        names << QStringLiteral("Quillon_Bsp%1.eml").arg(i);
    return names;
}

bool provideSampleMails(const QString& templatesFolder, const QString& userTemplatesFolder,
                        QString* error) {
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    const QDir target(userTemplatesFolder);
    if (!QDir().mkpath(target.absolutePath()))
        return fail(QStringLiteral("Der Ordner \"%1\" kann nicht angelegt werden.")
                        .arg(QDir::toNativeSeparators(target.absolutePath())));
    for (const QString& name : sampleMailNames()) {
        const QString copy = target.filePath(name);
        if (QFile::exists(copy))
            continue;
        const QString source = QDir(templatesFolder).filePath(name);
        if (!QFile::copy(source, copy))
            return fail(QStringLiteral("Die Mustervorlage \"%1\" kann nicht nach \"%2\" kopiert "
                                       "werden.")
                            .arg(QDir::toNativeSeparators(source),
                                 QDir::toNativeSeparators(target.absolutePath())));
        // The copy is the user's to change, whatever the shipped file allowed.
        QFile(copy).setPermissions(QFile(copy).permissions() | QFileDevice::WriteOwner);
    }
    return true;
}

QString newHtmlMailLink(const TableDefinition& definition, bool unsubscribeLink) {
    QString text = QStringLiteral(
        "mailto:Vorlage1?Subject=Geben Sie hier Ihren Betreff ein&Body=1. Bauen Sie hier Ihre "
        "Email wie gewünscht zusammen!%0A2. Speichern Sie diese Email mit \"Datei, Speichern "
        "unter\" an einer beliebigen Stelle! %0A%0AGültige Platzhalter sind: ");
    QStringList entries = Merge::placeholderList(definition, unsubscribeLink);
    entries.removeLast(); // "$DATUM"
    for (const QString& entry : entries)
        text += QStringLiteral("%0A") + entry;
    return text;
}

QString openExistingInstruction() {
    return QStringLiteral("Öffnen Sie die bereits vorhandenen E-Mail-Datei. Drücken Sie hierzu "
                          "\"Weiter\"");
}

QString openNewMailInstruction() {
    return QStringLiteral("Öffnen Sie die fertige E-Mail-Datei die Sie in vorhergehendem Fenster "
                          "bearbeitet und gespeichert haben. Drücken Sie hierzu \"Weiter\"");
}

} // namespace WizardRules
