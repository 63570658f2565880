#include "web/TrackingSetup.h"

#include "common/TextFile.h"
#include "common/Words.h"

#include <QDir>
#include <QFile>
#include <QStringList>

namespace TrackingSetup {

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString escaped(const QString& text) {
    return text.toHtmlEscaped();
}

} // namespace

QString exampleAddress() {
    return QStringLiteral("http://www.ihre-domain.de/statistik/");
}

bool isPasswordText(const QString& text) {
    for (const QChar c : text) {
        const char16_t x = c.unicode();
        if (!((x >= 'A' && x <= 'Z') || (x >= 'a' && x <= 'z') || (x >= '0' && x <= '9')))
            return false;
    }
    return true;
}

QString check(const QString& address, const QString& password) {
    if (address.trimmed().isEmpty())
        return u("Keinen Serverpfad für die Online-Statistik eingegeben!");
    if (password.trimmed().isEmpty())
        return u("Sie haben kein Passwort eingegeben!");
    if (WordCount(address, QStringLiteral("/")) <= 2)
        return u("Ungültigen Serverpfad eingegenben!\rBitte geben Sie den Serverpfad "
                 "folgendermaßen ein:\r\"") +
               exampleAddress() + QChar('"');
    // Mended: a pasted password could carry quotes or "$" into the PHP file.
    if (!isPasswordText(password.trimmed()))
        return u("Bitte geben Sie nur Buchstaben und Zahlen ein!");
    // Mended: the address goes into links and pages as it stands.
    for (const QChar c : address.trimmed())
        if (c.unicode() <= 0x20 || c == QChar('"') || c == QChar('<') || c == QChar('>'))
            return u("Der Serverpfad enthält ungültige Zeichen!");
    return {};
}

QString folderName(const QString& address) {
    const QString slash = QStringLiteral("/");
    return ExtractWord(WordCount(address, slash), address, slash);
}

QString evaluationAddress(const QString& statsAddress, const QString& password) {
    return statsAddress + QStringLiteral("auswertung.php?password=") + password;
}

bool prepare(const QString& programFolder, const QString& trackingFolder, const QString& address,
             const QString& password, const QString& databaseName, QString* error) {
    const QString name = folderName(address);
    const QString evaluation = evaluationAddress(address, password);
    const QString green = QStringLiteral("<span style=\"color:#008000\"><b>");
    const QString greenEnd = QStringLiteral("</b></span>");
    const QStringList page = {
        QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">"),
        QStringLiteral("<html><head><title>Einbauanleitung Newslettertracking</title></head>"),
        QStringLiteral("<body bgcolor=\"#FFFFFF\" style=\"font-family: Arial, Helvetica, "
                       "sans-serif; font-size: 13px\">"),
        u("<p><b>Quillon Hilfe - Newslettertracking</b></p>"),
        u("<h3>Einbauanleitung Newslettertracking (Online Statistik) für Datenbank: ") +
            escaped(databaseName) + QStringLiteral("</h3>"),
        u("<form><input type=\"button\" value=\"Einbauanleitung ausdrucken\" "
          "onclick=\"window.print()\"></form>"),
        u("<p><b>1. Statistikscripts und zugehörige Dateien auf Ihren Webserver "
          "hochladen</b></p>"),
        u("<p>Legen Sie auf Ihrem Webserver den Ordner ") + green + escaped(name) + greenEnd +
            u(" an und kopieren Sie alle Dateien des Ordners ") + green +
            escaped(QDir::toNativeSeparators(trackingFolder)) + greenEnd +
            u(" in das Verzeichnis ") + green + escaped(address) + greenEnd +
            QStringLiteral(".</p>"),
        u("<p><b>2. Funktionstest</b></p>"),
        u("<p>Rufen Sie nach dem Hochladen diese Seite auf: <a href=\"") + escaped(evaluation) +
            QStringLiteral("\" target=\"_blank\">") + escaped(evaluation) +
            u("</a><br>Dort sind noch keine Daten vorhanden; sie erscheinen, sobald Empfänger "
              "Links eines Newsletters mit Tracking anklicken.</p>"),
        u("<p>Sollten Sie unter obigem Link eine Fehlermeldung erhalten, überprüfen Sie nochmals "
          "alle Einstellungen. Solange diese Seite nicht verfügbar ist, sollten Sie auf keinen "
          "Fall Newsletter MIT aktiviertem Tracking versenden!</p>"),
        u("<p style=\"color:#FF0000\"><b>Bitte benutzen Sie unbedingt den Ordnernamen \"") +
            escaped(name) +
            u("\" auf Ihrem Server und lassen Sie alle Scripts in diesem Ordner, da alle "
              "Quillon-Funktionen auf diesen Pfad zugreifen.</b></p>"),
        QStringLiteral("</body></html>"),
    };
    if (!TextFile::writeLines(programFolder + QStringLiteral("stats-einbau.html"), page, error))
        return false;
    if (!QDir().mkpath(trackingFolder)) {
        if (error)
            *error = u("Der Ordner\r") + QDir::toNativeSeparators(trackingFolder) +
                     u("\rkann nicht angelegt werden.");
        return false;
    }
    const QString target = QDir(trackingFolder).absolutePath() + QChar('/');
    // The password line and a line holding a single CR, as in the kit's password file.
    if (!TextFile::writeText(target + QStringLiteral("stats_pw.php"),
                             QStringLiteral("<?php $my_pass = \"") + password +
                                 QStringLiteral("\"; ?>\r\n\r\r\n"),
                             error))
        return false;
    for (const char* file : {"stats.php", "auswertung.php", "red_point.gif"}) {
        const QString from = programFolder + QLatin1String(file);
        const QString to = target + QLatin1String(file);
        if (!QFile::exists(from))
            continue;
        QFile::remove(to);
        if (!QFile::copy(from, to)) {
            if (error)
                *error = u("Die Datei\r") + QDir::toNativeSeparators(to) +
                         u("\rkann nicht geschrieben werden.");
            return false;
        }
    }
    return true;
}

} // namespace TrackingSetup
