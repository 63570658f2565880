#include "web/WebKit.h"

#include "common/TextFile.h"
#include "common/Words.h"
#include "web/TrackingSetup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>

namespace WebKit {

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// A value placed into HTML text or an attribute.
QString html(const QString& text) {
    return text.toHtmlEscaped();
}

QString colour(quint32 c) {
    return QStringLiteral("#%1").arg(c & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper();
}

const QString scriptLine = QStringLiteral("<script type=\"text/javascript\"> var Jetzt = new "
                                          "Date(); var Start = Jetzt.getTime(); </script>");

QString creditLine(const TitlePhrase& p) {
    return QStringLiteral("<noscript><a href=\"%1\">%2</a></noscript>").arg(p.address, p.phrase);
}

QStringList orderHiddenFields(const Values& v) {
    return {QStringLiteral("<input type=\"hidden\" name=\"send\" value=\"ok\">"),
            QStringLiteral("<input type=\"hidden\" name=\"action\" value=\"sign\" checked>"),
            QStringLiteral("<input type=\"hidden\" name=\"double\" value=\"%1\">")
                .arg(v.doubleOptIn ? QStringLiteral("on") : QStringLiteral("off")),
            QStringLiteral("<input type=\"hidden\" name=\"cap\" value=\"%1\">")
                .arg(v.captcha ? QLatin1Char('1') : QLatin1Char('0'))};
}

QStringList cancelHiddenFields() {
    return {QStringLiteral("<input type=\"hidden\" name=\"send\" value=\"ok\">"),
            QStringLiteral("<input type=\"hidden\" name=\"action\" value=\"delete\" checked>")};
}

bool isSalutation(const Field& f) {
    return f.name.compare(QLatin1String("Anrede"), Qt::CaseInsensitive) == 0;
}

// The label of a field; mailLabel stands for the caption "Mail".
QString label(const Field& f, const QString& mailLabel) {
    if (f.caption == QLatin1String("Mail"))
        return mailLabel;
    if (f.caption == QLatin1String("Str"))
        return QStringLiteral("Strasse");
    return html(f.caption);
}

QStringList instructionHead(const QString& title) {
    return {QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">"),
            QStringLiteral("<html><head><title>%1</title></head>").arg(html(title)),
            QStringLiteral("<body bgcolor=\"#FFFFFF\" style=\"font-family: Arial, Helvetica, "
                           "sans-serif; font-size: 13px;\">"),
            QStringLiteral("<p><b>Quillon Hilfe</b></p>")};
}

QStringList helpOffer() {
    return {u("<p>Sie möchten die Formulare nicht selbst einbauen? Gegen eine kleine Gebühr "
              "übernehmen wir den Einbau in Ihre Internetseite für Sie. Schreiben Sie uns: "
              "<a href=\"mailto:einbau@quillon.de\">einbau@quillon.de</a></p>")};
}

QStringList printButton() {
    return {QStringLiteral("<form><input type=\"button\" value=\"Einbauanleitung ausdrucken\" "
                           "onclick=\"window.print()\"></form>")};
}

QString greenText(const QString& text) {
    return QStringLiteral("<font color=\"#008000\"><b>%1</b></font>").arg(html(text));
}

QString folderWarning(const QString& kitName) {
    return QStringLiteral("<p><font color=\"#FF0000\"><b>") +
           html(u("Bitte benutzen Sie unbedingt den Ordnernamen \"") + kitName +
                u("\" auf Ihrem Server und lassen Sie alle Scripts in diesem Ordner, da alle "
                  "Quillon-Funktionen auf diesen Pfad zugreifen.")) +
           QStringLiteral("</b></font></p>");
}

QString link(const QString& address, const QString& text) {
    return QStringLiteral("<a href=\"%1\" target=\"_blank\">%2</a>").arg(html(address), html(text));
}

} // namespace

const QStringList& fontFamilies() {
    static const QStringList families = {QStringLiteral("Arial, Helvetica, sans-serif"),
                                         QStringLiteral("Times New Roman, Times, serif"),
                                         QStringLiteral("Courier New, Courier, mono"),
                                         QStringLiteral("Georgia, Times New Roman, Times, serif"),
                                         QStringLiteral("Verdana, Arial, Helvetica, sans-serif"),
                                         QStringLiteral("Geneva, Arial, Helvetica, san-serif")};
    return families;
}

const QList<TitlePhrase>& titlePhrases() {
    static const QList<TitlePhrase> phrases = {
        {QStringLiteral("Newsletter Software"),
         QStringLiteral("https://www.quillon.de/newsletter-software.html")},
        {QStringLiteral("Newsletter Programm"),
         QStringLiteral("https://www.quillon.de/newsletter-programm.html")},
        {QStringLiteral("Newsletter versenden"),
         QStringLiteral("https://www.quillon.de/newsletter-versenden.html")},
        {QStringLiteral("Newsletter verschicken"),
         QStringLiteral("https://www.quillon.de/newsletter-verschicken.html")},
        {QStringLiteral("Newsletter Versand"),
         QStringLiteral("https://www.quillon.de/newsletter-versand.html")},
        {QStringLiteral("Serienmail"), QStringLiteral("https://www.quillon.de/serienmail.html")},
        {QStringLiteral("E-Mail Marketing Software"),
         QStringLiteral("https://www.quillon.de/e-mail-marketing.html")}};
    return phrases;
}

int fontPixels(int sizeIndex) {
    return 8 + qBound(0, sizeIndex, 12);
}

int htmlFontSize(int pixels) {
    if (pixels <= 11)
        return 1;
    if (pixels <= 14)
        return 2;
    if (pixels <= 17)
        return 3;
    if (pixels <= 19)
        return 4;
    return 5;
}

QString exampleServerPath() {
    return QStringLiteral("http://www.ihre-seite.de/newsletter/");
}

QString kitFolderName(const QString& serverPath) {
    // The same rule names the tracking folder.
    return TrackingSetup::folderName(serverPath);
}

QString validate(const QString& serverPath, const QString& password) {
    const QString path = serverPath.trimmed();
    if (path.isEmpty())
        return u("Keinen Serverpfad für die Online-Datenbank eingegeben!");
    if (password.trimmed().isEmpty())
        return u("Sie haben kein Passwort für die Newslettersynchronisation eingegeben!");
    // https is accepted like http: the generated files use the scheme as entered.
    const QString upper = path.toUpper();
    if (!upper.contains(QLatin1String("HTTP://")) && !upper.contains(QLatin1String("HTTPS://")))
        return u("Sie haben die  Zeichen \"http://\" vor dem Serverpfad vergessen!");
    if (WordCount(serverPath, QStringLiteral("/")) <= 2)
        return u("Ungültigen Serverpfad eingegenben!\rBitte geben Sie den Serverpfad "
                 "folgendermaßen "
                 "ein:\r\"") +
               exampleServerPath() + QLatin1Char('"');
    if (!serverPath.endsWith(QLatin1Char('/')))
        return u("Das Zeichen \"/\" am Ende der Zeichenkette wurde vergessen. Bitte fügen Sie ein "
                 "\"/\" an");
    // Typed keys are filtered; a pasted text is checked here, as it ends up in a PHP string.
    if (!TrackingSetup::isPasswordText(password))
        return u("Bitte geben Sie nur Buchstaben und Zahlen ein!");
    if (password.size() > 40)
        return u(
            "Das Passwort für die Newslettersynchronisation darf höchstens 40 Zeichen lang sein!");
    return {};
}

QString joinMemoLines(const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text = (text + QLatin1Char(' ') + line).trimmed();
    return text;
}

QString versionForKit(const QString& versionText) {
    QString first = versionText.section(QLatin1Char('\n'), 0, 0);
    first.remove(QLatin1Char('\r'));
    first.remove(QStringLiteral("Version"), Qt::CaseInsensitive);
    return first.trimmed();
}

QList<bool> readFieldChoices(const QString& path) {
    QList<bool> choices;
    for (const QString& line : TextFile::readLines(path))
        choices << (line == QLatin1String("1"));
    return choices;
}

bool writeFieldChoices(const QString& path, const QList<Field>& fields, QString* error) {
    QStringList lines;
    for (const Field& f : fields)
        lines << (f.checked ? QStringLiteral("1") : QStringLiteral("0"));
    return TextFile::writeLines(path, lines, error);
}

QStringList copiedFiles() {
    return {QStringLiteral("mailin.php"), QStringLiteral("captcha.php"),
            QStringLiteral("captcha.png"), QStringLiteral("XFILES.TTF"),
            QStringLiteral("XFILES-LIZENZ.txt")};
}

Pages pages(const Values& v, const QList<Field>& allFields, const QString& kitFolder,
            const std::function<int(int)>& pickIn) {
    const std::function<int(int)> pick =
        pickIn ? pickIn : [](int n) { return int(QRandomGenerator::global()->bounded(n)); };
    const QList<TitlePhrase>& phrases = titlePhrases();
    auto phrase = [&] {
        return phrases.at(qBound(0, pick(int(phrases.size())), int(phrases.size()) - 1));
    };
    QList<Field> fields;
    for (const Field& f : allFields)
        if (f.checked)
            fields << f;

    const QString S = html(v.serverPath);
    const QString T = html(v.title);
    const QString F = fontFamilies().value(qBound(0, v.font, 5));
    const int P = fontPixels(v.fontSize);
    const int H = htmlFontSize(P);
    const QString C = colour(v.fontColor);
    const QString B = colour(v.backgroundColor);
    const QString R = colour(v.borderColor);
    const QString kitName = kitFolderName(v.serverPath);
    const QString doctype =
        QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">");
    const QString formLine =
        QStringLiteral("<form name=\"subscribe\" method=\"get\" action=\"%1mailin.php\">").arg(S);
    Pages p;

    // Order form.
    const TitlePhrase orderPhrase = phrase();
    p.subscribe << doctype
                << QStringLiteral("<html><head><title>%1</title><LINK href=\"layout.css\" "
                                  "rel=\"stylesheet\" type=\"text/css\"></head>")
                       .arg(orderPhrase.phrase)
                << QStringLiteral("<body><br><br>") << QStringLiteral(" ")
                << QStringLiteral("<div align=\"center\"><table width=\"300\" class=\"rahmen\" "
                                  "cellspacing=\"1\" border=\"0\"><tr><td>")
                << QStringLiteral(
                       "<table width=\"100%\" class=\"content\" border=\"0\"><tr><td><br>")
                << QStringLiteral("&nbsp;<span class=\"headline\">%1</span><br><br>").arg(T)
                << formLine << orderHiddenFields(v)
                << QStringLiteral("<table width=\"100%\" border=\"0\">");
    for (const Field& f : fields) {
        const QString L = label(f, QStringLiteral("Emailadresse"));
        const QString N = html(f.name);
        p.subscribe << QStringLiteral("<tr>")
                    << QStringLiteral("<td class=\"label\">%1</td>").arg(L);
        if (isSalutation(f))
            p.subscribe << QStringLiteral("<td>")
                        << QStringLiteral("<select name=\"%1\" size=\"1\">").arg(N)
                        << QStringLiteral("<option>Herr</option>")
                        << QStringLiteral("<option>Frau</option>")
                        << QStringLiteral("<option>Firma</option>")
                        << QStringLiteral("</select> </td>");
        else
            p.subscribe
                << QStringLiteral("<td><input type=\"text\" name=\"%1\" size=30></td>").arg(N);
        p.subscribe << QStringLiteral("</tr>");
    }
    p.subscribe << QStringLiteral("<tr>") << QStringLiteral("<td class=\"label\">&nbsp;</td>")
                << QStringLiteral("<td><input type=\"submit\" value=\"Bestellen\"></td>")
                << QStringLiteral("</tr>") << QStringLiteral("</table></form>")
                << QStringLiteral("</td></tr></table></td></tr></table></div>") << scriptLine
                << creditLine(orderPhrase) << QStringLiteral("</body></html>");

    // Snippet for the user's own page.
    const TitlePhrase snippetPhrase = phrase();
    const QString font =
        QStringLiteral("<font face=\"%1\" size=\"%2\" color=\"%3\">").arg(F).arg(H).arg(C);
    p.snippet
        << QStringLiteral("<!-- Beginn Quillon Quelltext -->") << formLine
        << QStringLiteral(
               "<table width=\"200\" bgcolor=\"%1\" cellspacing=\"1\" border=\"0\"><tr><td>")
               .arg(R)
        << QStringLiteral("<table width=\"100%\" bgcolor=\"%1\" border=\"0\"><tr><td>").arg(B);
    if (!v.title.trimmed().isEmpty())
        p.snippet << QStringLiteral("<table width=\"100%\" "
                                    "border=\"0\"><tr><td>%1<b>%2</b></font></td></tr></table>")
                         .arg(font, T);
    p.snippet << orderHiddenFields(v) << QStringLiteral("<table width=\"100%\" border=\"0\">");
    for (const Field& f : fields) {
        const QString L = label(f, QStringLiteral("Ihre Email"));
        const QString N = html(f.name);
        if (isSalutation(f))
            p.snippet
                << QStringLiteral("<tr><td>%1%2</font></td><td>").arg(font, L)
                << QStringLiteral(
                       "<select name=\"%1\" size=\"1\"><option>Herr</option><option>Frau</option>"
                       "<option>Firma</option></select></td></tr>")
                       .arg(N);
        else
            p.snippet << QStringLiteral("<tr><td>%1%2</font></td><td><input type=\"text\" "
                                        "name=\"%3\" size=20></td></tr>")
                             .arg(font, L, N);
    }
    p.snippet << QStringLiteral(
                     "<tr><td>&nbsp;</td><td><input type=\"submit\" value=\"Bestellen\"></td></tr>")
              << QStringLiteral(
                     "<tr><td>%1<a href=\"%2unsubscribe.html\">Abbestellen</a></font></td>")
                     .arg(font, S)
              << QStringLiteral("<td>")
              << QStringLiteral("</td></tr></table></td></tr></table></td></tr></table></form>")
              << scriptLine << creditLine(snippetPhrase)
              << QStringLiteral("<!-- Ende Quillon Quelltext -->");

    // Cancellation form.
    const TitlePhrase cancelPhrase = phrase();
    p.unsubscribe
        << doctype + QStringLiteral("<html>")
        << QStringLiteral("<head><title>%1</title><LINK href=\"layout.css\" rel=\"stylesheet\" "
                          "type=\"text/css\"></head>")
               .arg(cancelPhrase.phrase)
        << QStringLiteral("<body>") << QStringLiteral("<br><br>")
        << QStringLiteral(
               "<div align=\"center\"><table width=\"300\" class=\"rahmen\" cellspacing=\"1\" "
               "cellspacing=\"0\" border=\"0\"><tr><td>")
        << QStringLiteral("<table width=\"100%\" class=\"content\" border=\"0\"><tr><td><br>")
        << QStringLiteral("&nbsp;<span class=\"headline\">%1</span><br><br>").arg(T)
        << QStringLiteral("<table width=\"100%\" border=\"0\" class=\"content\">")
        << QStringLiteral("<tr><td>") << formLine << cancelHiddenFields()
        << QStringLiteral("<table width=\"300\" border=\"0\">")
        << QStringLiteral("<tr><td class=\"label\">Email:</td>")
        << QStringLiteral("<td><input type=\"text\" name=\"Mail\" vsize=30></td>")
        << QStringLiteral("</tr>") << QStringLiteral("<tr>")
        << QStringLiteral("<td class=\"label\">&nbsp;</td>")
        << QStringLiteral("<td><input type=\"submit\" value=\"Abbestellen\"></td>")
        << QStringLiteral("</tr>") << QStringLiteral("</table></form>")
        << QStringLiteral("</td></tr></table></td></tr></table></div>") << scriptLine
        << creditLine(cancelPhrase) << QStringLiteral("</body>") << QStringLiteral("</html>");

    p.index << doctype << QStringLiteral("<html><head><title>%1</title>").arg(cancelPhrase.phrase)
            << QStringLiteral("<LINK href=\"layout.css\" rel=\"stylesheet\" type=\"text/css\">")
            << QStringLiteral("</head>") << QStringLiteral("<body>")
            << QStringLiteral("</td></tr></table></td></tr></table></div>")
            << QStringLiteral("</body>") << QStringLiteral("</html>");

    p.passwordFile = QStringLiteral("<?php $my_pass = \"%1\"; ?>\r\n\r\r\n").arg(v.password);

    // The guard of a list. It compares the password with hash_equals, so a numeric-looking
    // password is never compared as a number, and serves its list itself: under a shared
    // lock it records how many bytes it served (and their checksum), so that wipe_files.php
    // removes exactly what was fetched and keeps what arrived later.
    p.guard
        << QStringLiteral("<?php") << QStringLiteral("error_reporting(E_ERROR | E_PARSE);")
        << QStringLiteral("include(\"mailin_pw.php\");")
        << QStringLiteral("if(isset($_GET[\"password\"])){$act_pass = $_GET[\"password\"];} else { "
                          "$act_pass = \"\"; }")
        << QStringLiteral(
               "if (!isset($my_pass) || !is_string($act_pass) || (string)$my_pass === \"\" || "
               "!hash_equals((string)$my_pass, $act_pass)) { echo \"Access denied\"; Exit; }")
        << QStringLiteral(
               "$list = fopen(__FILE__, \"rb\"); flock($list, LOCK_SH); $all = "
               "stream_get_contents($list); $at = strpos($all, \"\\n?\" . \">\"); $at = ($at === "
               "false) ? strlen($all) : strpos($all . \"\\n\", \"\\n\", $at + 3) + 1;")
        << QStringLiteral("file_put_contents(substr(__FILE__, 0, -4) . \"_served.php\", \"<?php "
                          "exit; ?\" . \">\" . "
                          "strlen($all) . \"|\" . md5($all), LOCK_EX); echo substr($all, $at); "
                          "flock($list, LOCK_UN); fclose($list); "
                          "Exit;")
        << QStringLiteral("?>") << QStringLiteral("\r");

    p.versionFile =
        QStringLiteral("<?php $quillon_version = \"%1\"; ?>").arg(versionForKit(v.version));

    p.layoutCss
        << QStringLiteral("BODY \t{FONT-FAMILY: verdana, helvetica; FONT-SIZE: 10px; COLOR: %1; "
                          "BACKGROUND-COLOR: %2;}")
               .arg(C, B)
        << QStringLiteral("a\t\t{color:%1; text-decoration:underline }").arg(C)
        << QStringLiteral("a:hover \t{color:%1; text-decoration:underline}").arg(C)
        << QStringLiteral("INPUT\t{font-family: %1; color:%2; font-size: %3px; font-weight: bold; "
                          "border-style: groove}")
               .arg(F, C)
               .arg(P)
        << QStringLiteral("TEXTAREA \t{font-family: %1; color:%2; font-size: %3px; font-weight: "
                          "bold; border-style: "
                          "groove}")
               .arg(F, C)
               .arg(P)
        << QStringLiteral("SELECT\t{font-family: %1; color:%2; font-size: %3px; font-weight: bold; "
                          "background-color: "
                          "#ffffff; border-style: groove}")
               .arg(F, C)
               .arg(P)
        << QStringLiteral(".rahmen \t{background-color: %1;}").arg(R)
        << QStringLiteral(
               ".content\t{FONT-FAMILY: %1;\tFONT-SIZE: %2px; COLOR: %3; BACKGROUND-COLOR: %4;}")
               .arg(F)
               .arg(P)
               .arg(C, B)
        << QStringLiteral(".quillon \t{border-style:groove; font-size:10px; font-family: %1; }")
               .arg(F)
        << QStringLiteral(".label \t{font-size:%1px; font-family: %2; }").arg(P).arg(F)
        << QStringLiteral(
               ".headline \t{FONT-FAMILY: %1; FONT-SIZE: %2px; Color: %3; font : bold; }")
               .arg(F)
               .arg(P + 6)
               .arg(C)
        << QStringLiteral(".info    \t{FONT-FAMILY: verdana, helvetica; FONT-SIZE: 10px; Color: "
                          "%1; font-style : "
                          "normal;}")
               .arg(C);

    // Instruction pages.
    const QString kitUrl = QUrl::fromLocalFile(QDir::cleanPath(kitFolder)).toString();
    const QString database =
        QStringLiteral("<p>Datenbank: <b>%1</b></p>").arg(html(v.databaseName));
    const QString step1 = u("<li>Legen Sie auf Ihrem Webserver den Ordner ") + greenText(kitName) +
                          u(" an und kopieren Sie alle Dateien aus dem Ordner ") +
                          greenText(QDir::toNativeSeparators(kitFolder)) +
                          u(" auf Ihrem Rechner in den Webordner ") + greenText(v.serverPath) +
                          QStringLiteral(".</li>");
    const QString listView =
        u("<li>Die online gespeicherten Bestellungen und Abbestellungen sehen Sie "
          "jederzeit unter ") +
        link(v.serverPath + QStringLiteral("mailin.php"),
             v.serverPath + QStringLiteral("mailin.php")) +
        u(" (mit Ihrem Passwort für die Newslettersynchronisation).</li>");
    const QString linksLater =
        u("<li>Diese Links zeigt Ihnen Quillon jederzeit unter \"Web u. Newsletter\" "
          "&rarr; \"Links zu Statistik und Bestell-Datenbank\".</li>");

    p.einbau << instructionHead(u("Einbauanleitung Bestellformular"))
             << u("<h3>Einbau des Newsletter-Bestellformulars</h3>")
             << u("<p>Wählen Sie, wie Sie das Formular in Ihre Internetseite einbauen möchten:</p>")
             << u("<p>Quelltext-Version: <a href=\"integriert-einbau.html\">das Formular in eine "
                  "bestehende "
                  "Seite einfügen</a></p>")
             << u("<p>Link-Version: <a href=\"extra.html\">fertige Formulare zum Verlinken</a></p>")
             << helpOffer() << QStringLiteral("</body></html>");

    p.extraEinbau << instructionHead(u("Einbauanleitung Link-Version"))
                  << u("<h3>Einbauanleitung für die fertigen Formulare (Link-Version)</h3>")
                  << database << printButton() << folderWarning(kitName) << QStringLiteral("<ol>")
                  << step1
                  << u("<li>Verlinken Sie Ihre Internetseite mit ") +
                         link(v.serverPath + QStringLiteral("subscribe.html"),
                              v.serverPath + QStringLiteral("subscribe.html")) +
                         u(" oder fügen Sie die benötigten Teile von subscribe.html in eine Ihrer "
                           "Seiten ein.</li>")
                  << u("<li>Setzen Sie den Link ") +
                         link(v.serverPath + QStringLiteral("unsubscribe.html"),
                              v.serverPath + QStringLiteral("unsubscribe.html")) +
                         u(" in Ihre Newsletter, damit Empfänger sich abmelden können.</li>")
                  << listView << linksLater << QStringLiteral("</ol>")
                  << QStringLiteral("</body></html>");

    QStringList snippetEscaped;
    for (const QString& line : p.snippet)
        snippetEscaped << html(line);
    p.integriertEinbau
        << instructionHead(u("Einbauanleitung Quelltext-Version"))
        << u("<h3>Einbauanleitung für den Quelltext (Quelltext-Version)</h3>") << database
        << printButton() << folderWarning(kitName) << QStringLiteral("<ol>") << step1
        << u("<li>Fügen Sie den folgenden Quelltext an der gewünschten Stelle in eine Ihrer "
             "Seiten ein.</li>")
        << listView << linksLater << QStringLiteral("</ol>")
        << u("<p><b>Quelltext für Ihre Internetseite:</b></p>")
        << QStringLiteral(
               "<form name=\"copy\"><textarea name=\"holdtext\" rows=\"12\" cols=\"100\">")
        << snippetEscaped << QStringLiteral("</textarea></form>") << u("<p><b>Vorschau:</b></p>")
        << p.snippet << QStringLiteral("</body></html>");

    p.extra
        << instructionHead(u("Link-Version"))
        << u("<h3>Fertige Bestellformulare zum Verlinken mit Ihrer Internetseite "
             "(Linkversion)</h3>")
        << QStringLiteral(
               "<p><a href=\"extra-einbau.html\">Einbauanleitung f&uuml;r die Formulare</a></p>")
        << QStringLiteral("<p><a href=\"%1\" target=\"_blank\">Voransicht Bestellformular</a></p>")
               .arg(html(kitUrl + QStringLiteral("/subscribe.html")))
        << QStringLiteral(
               "<p><a href=\"%1\" target=\"_blank\">Voransicht Abbestellformular</a></p>")
               .arg(html(kitUrl + QStringLiteral("/unsubscribe.html")))
        << helpOffer() << QStringLiteral("</body></html>");
    return p;
}

QStringList generate(const Values& v, const QList<Field>& fields, const QString& programFolder,
                     const QString& kitFolder, const std::function<int(int)>& pick) {
    QStringList errors;
    if (!QDir().mkpath(kitFolder)) {
        errors << u("Der Ordner \"%1\" kann nicht angelegt werden!")
                      .arg(QDir::toNativeSeparators(kitFolder));
        return errors;
    }
    const Pages p = pages(v, fields, kitFolder, pick);
    const QString kit = QDir(kitFolder).absolutePath() + QLatin1Char('/');
    auto lines = [&](const QString& path, const QStringList& content) {
        QString error;
        if (!TextFile::writeLines(path, content, &error))
            errors << error;
    };
    // The PHP files and hashes.csv end with a line holding a single CR, as the site's
    // scripts expect after the header: written as text, so the CR stays.
    auto text = [&](const QString& path, const QString& content) {
        QString error;
        if (!TextFile::writeText(path, content, &error))
            errors << error;
    };
    auto copy = [&](const QString& name) {
        const QString source = programFolder + name;
        const QString target = kit + name;
        if (!QFileInfo::exists(source))
            return; // a missing shipped file leaves its copy missing
        QFile::remove(target);
        if (!QFile::copy(source, target))
            errors << u("Die Datei \"%1\" kann nicht nach \"%2\" kopiert werden!")
                          .arg(QDir::toNativeSeparators(source), QDir::toNativeSeparators(target));
    };
    QString guard;
    for (const QString& line : p.guard)
        guard += line + QStringLiteral("\r\n");

    lines(kit + QStringLiteral("subscribe.html"), p.subscribe);
    lines(programFolder + QStringLiteral("quelltext-version.html"), p.snippet);
    lines(kit + QStringLiteral("unsubscribe.html"), p.unsubscribe);
    lines(kit + QStringLiteral("index.html"), p.index);
    lines(programFolder + QStringLiteral("einbau.html"), p.einbau);
    lines(programFolder + QStringLiteral("extra-einbau.html"), p.extraEinbau);
    lines(programFolder + QStringLiteral("integriert-einbau.html"), p.integriertEinbau);
    text(kit + QStringLiteral("mailin_pw.php"), p.passwordFile);
    text(kit + QStringLiteral("email_list_in.php"), guard);
    text(kit + QStringLiteral("email_list_out.php"), guard);
    text(kit + QStringLiteral("hashes.csv"), QStringLiteral("\r\r\n"));
    lines(programFolder + QStringLiteral("extra.html"), p.extra);
    lines(kit + QStringLiteral("layout.css"), p.layoutCss);
    for (const QString& name : copiedFiles())
        copy(name);
    lines(kit + QStringLiteral("version.php"), {p.versionFile});
    copy(QStringLiteral("wipe_files.php"));
    copy(QStringLiteral("submit-seite.php"));
    lines(kit + QStringLiteral("subscribemessage.txt"), {joinMemoLines(v.subscribeMessage)});
    lines(kit + QStringLiteral("email_subject.txt"), {v.subject});
    lines(kit + QStringLiteral("email_text.txt"), {joinMemoLines(v.emailText)});
    // The password file is for the site only.
    QFile::setPermissions(kit + QStringLiteral("mailin_pw.php"),
                          QFile::ReadOwner | QFile::WriteOwner);
    return errors;
}

} // namespace WebKit
