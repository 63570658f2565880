#include "cli/CommandLine.h"

#include "cli/ConsoleMessages.h"
#include "common/TextFile.h"
#include "compose/HtmlMailFile.h"
#include "compose/MailTemplate.h"
#include "database/AddressTable.h"
#include "database/Backup.h"
#include "database/Catalogue.h"
#include "database/SystemColumns.h"
#include "exchange/CsvExport.h"
#include "exchange/ImportMapping.h"
#include "exchange/ImportRun.h"
#include "exchange/SpreadsheetExport.h"
#include "hygiene/AddressCheck.h"
#include "platform/SingleInstance.h"
#include "send/SendRun.h"
#include "send/SmtpMail.h"
#include "settings/AccountSettings.h"
#include "settings/SenderList.h"
#include "shell/AppState.h"
#include "shell/SendRunContext.h"
#include "shell/Startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace CommandLine {

namespace {

// ---- arguments ----

// The options of one command: which take a value, which are switches, how many plain
// arguments it wants.
struct Syntax {
    QStringList valued;
    QStringList switches;
    int positional = 0;
};

struct Parsed {
    QString command;
    QMap<QString, QString> values;
    QSet<QString> switches;
    QStringList positional;
    QString problem; // German; empty when the line was understood
};

const QMap<QString, Syntax>& commands() {
    static const QMap<QString, Syntax> syntaxes{
        {QStringLiteral("senden"),
         {{QStringLiteral("--datenbank"), QStringLiteral("--vorlage"), QStringLiteral("--html"),
           QStringLiteral("--absender"), QStringLiteral("--prioritaet")},
          {QStringLiteral("--tracking")},
          0}},
        {QStringLiteral("importieren"), {{QStringLiteral("--datenbank")}, {}, 1}},
        {QStringLiteral("exportieren"),
         {{QStringLiteral("--datenbank"), QStringLiteral("--csv"), QStringLiteral("--xlsx")},
          {QStringLiteral("--nur-markierte")},
          0}},
        {QStringLiteral("pruefen"), {{QStringLiteral("--datenbank")}, {}, 0}},
        {QStringLiteral("sichern"), {{}, {}, 1}},
    };
    return syntaxes;
}

Parsed parse(const QStringList& args) {
    Parsed p;
    p.command = args.value(0);
    const auto it = commands().constFind(p.command);
    if (it == commands().constEnd()) {
        p.problem = QStringLiteral("Unbekannter Befehl \"") + p.command +
                    QStringLiteral("\". \"quillon --help\" zeigt die Befehle.");
        return p;
    }
    const Syntax& syntax = *it;
    for (int i = 1; i < args.size(); ++i) {
        QString a = args[i];
        QString value;
        bool inlineValue = false;
        if (a.startsWith(QStringLiteral("--")) && a.contains(QChar('='))) {
            value = a.mid(a.indexOf(QChar('=')) + 1);
            a = a.left(a.indexOf(QChar('=')));
            inlineValue = true;
        }
        if (syntax.valued.contains(a)) {
            if (!inlineValue) {
                if (i + 1 >= args.size()) {
                    p.problem =
                        QStringLiteral("Zur Option ") + a + QStringLiteral(" fehlt der Wert.");
                    return p;
                }
                value = args[++i];
            }
            if (p.values.contains(a)) {
                p.problem =
                    QStringLiteral("Die Option ") + a + QStringLiteral(" ist mehrfach angegeben.");
                return p;
            }
            p.values.insert(a, value);
        } else if (syntax.switches.contains(a) && !inlineValue) {
            p.switches.insert(a);
        } else if (a.startsWith(QChar('-')) && a.size() > 1) {
            p.problem = QStringLiteral("Unbekannte Option \"") + args[i] +
                        QStringLiteral("\" für \"") + p.command +
                        QStringLiteral("\". \"quillon --help\" zeigt die Optionen.");
            return p;
        } else {
            p.positional << a;
        }
    }
    if (p.positional.size() != syntax.positional) {
        p.problem = syntax.positional == 0
                        ? QStringLiteral("\"") + p.command +
                              QStringLiteral("\" nimmt keine weiteren Argumente: ") +
                              p.positional.join(QChar(' '))
                        : QStringLiteral("\"") + p.command +
                              QStringLiteral("\" braucht genau einen Datei- oder Ordnernamen.");
        return p;
    }
    if (syntax.valued.contains(QStringLiteral("--datenbank")) &&
        p.values.value(QStringLiteral("--datenbank")).trimmed().isEmpty()) {
        p.problem = QStringLiteral("Geben Sie die Datenbank mit --datenbank NAME an.");
        return p;
    }
    return p;
}

// ---- the program's state without a window ----

// Opens the database named by its display name or its definition file name (both
// without regard to case). False with the message written.
bool openNamed(AppState& state, const QString& name, Messages& messages) {
    const QString wanted = name.trimmed();
    QStringList known;
    for (const CatalogEntry& e : catalogueEntries(state.session.catalogueLines())) {
        known << e.displayName;
        if (e.displayName.compare(wanted, Qt::CaseInsensitive) == 0 ||
            e.definitionName.compare(wanted, Qt::CaseInsensitive) == 0 ||
            e.definitionName.compare(wanted + QStringLiteral(".ini"), Qt::CaseInsensitive) == 0) {
            if (OpenDatabase(state.session, e.definitionName, messages) &&
                state.session.hasOpenTable())
                return true;
            messages.error(QStringLiteral("Die Datenbank \"") + e.displayName +
                           QStringLiteral("\" kann nicht geöffnet werden."));
            return false;
        }
    }
    messages.error(QStringLiteral("Eine Datenbank \"") + wanted +
                   QStringLiteral("\" gibt es nicht. Vorhandene Datenbanken: ") +
                   (known.isEmpty() ? QStringLiteral("keine") : known.join(QStringLiteral(", "))));
    return false;
}

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// Progress of the table loops: one line per step on standard error.
Progress consoleProgress(ConsoleMessages& console) {
    Progress p;
    p.status = [&console](const QString& text) { console.progressText(text); };
    return p;
}

// ---- senden ----

// The serial e-mail of the command line: a .mail template or an e-mail file.
bool loadMail(const Parsed& p, const AppState& state, MailTemplate* mail, Messages& messages) {
    const QString templ = p.values.value(QStringLiteral("--vorlage"));
    const QString html = p.values.value(QStringLiteral("--html"));
    if (templ.isEmpty() == html.isEmpty()) {
        messages.error(QStringLiteral("Geben Sie genau eine Vorlage an: --vorlage DATEI.mail "
                                      "oder --html DATEI.eml."));
        return false;
    }
    QString error;
    if (!templ.isEmpty()) {
        const QString path = QFileInfo(templ).absoluteFilePath();
        QStringList lines;
        if (!QFileInfo(path).isFile() || !TextFile::readLines(path, &lines, &error)) {
            messages.error(QStringLiteral("Die Vorlage ") + nativePath(path) +
                           QStringLiteral(" kann nicht gelesen werden. ") + error);
            return false;
        }
        // A .mail file has its subject and text sections; anything else is no template.
        if (!lines.contains(MailTemplateFile::subjectMarker()) ||
            !lines.contains(MailTemplateFile::textMarker())) {
            messages.error(QStringLiteral("Die Datei ") + nativePath(path) +
                           QStringLiteral(" ist keine Vorlage im .mail-Format (es fehlt ") +
                           MailTemplateFile::subjectMarker() + QStringLiteral(" oder ") +
                           MailTemplateFile::textMarker() + QStringLiteral(")."));
            return false;
        }
        mail->mode = MailTemplate::Mode::Text;
        if (!readMailTemplate(path, *mail, messages, &error)) {
            messages.error(error);
            return false;
        }
        return true;
    }
    const QString source = QFileInfo(html).absoluteFilePath();
    if (!QFileInfo(source).isFile()) {
        messages.error(QStringLiteral("Die E-Mail-Datei ") + nativePath(source) +
                       QStringLiteral(" gibt es nicht."));
        return false;
    }
    QString copy;
    if (!HtmlMailFile::makePrivateCopy(source, state.folders.systemTempFolder,
                                       QStringLiteral(".html"), &copy, &error)) {
        messages.error(error);
        return false;
    }
    const AccountSettings account =
        Settings::readAccountSettingsPlain(SettingsFiles::chooseSettingsFile(
            state.folders.programFolder, state.session.definitionName()));
    HtmlMailFile::Opened opened;
    if (!HtmlMailFile::openMessageFile(copy, codeSetCharset(account.codeSetIndex).toLatin1(),
                                       state.folders.systemTempFolder, &opened, &error)) {
        messages.error(error);
        return false;
    }
    mail->mode = MailTemplate::Mode::Html;
    mail->messageFile = copy;
    mail->subject = opened.subject;
    mail->htmlBody = opened.html;
    mail->plainBody = opened.plain;
    return true;
}

// Draws the run on standard error: a bar on a terminal, else one line per record.
class RunReport {
public:
    explicit RunReport(bool terminal) : m_terminal(terminal) {}

    void record(const QString& line, const SendRun::Progress& p) {
        if (!m_terminal) {
            writeLine(line);
            return;
        }
        const qint64 done = p.sent + p.invalid;
        const int width = 30;
        const int filled = p.marked > 0 ? int(std::min<qint64>(width, done * width / p.marked)) : 0;
        const QString bar = QString(filled, QChar('#')) + QString(width - filled, QChar('-'));
        const QString text = QStringLiteral("\r[") + bar + QStringLiteral("] ") + p.totalText +
                             QStringLiteral(", ") + QString::number(p.invalid) +
                             QStringLiteral(" ungültig");
        std::fputs(text.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
        m_open = true;
    }
    void writeLine(const QString& line) {
        endBar();
        std::fputs((line + QChar('\n')).toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
    }
    void endBar() {
        if (m_open)
            std::fputs("\n", stderr);
        m_open = false;
    }

private:
    bool m_terminal;
    bool m_open = false;
};

// The marked records of the open table.
qint64 markedCount(AddressTable& table) {
    QString problem;
    const RecordCondition marked = table.conditionFromFilter(SystemColumns::markedFilter, &problem);
    return problem.isEmpty() ? qint64(table.tableIds(marked).size()) : -1;
}

// Milliseconds per second of the delay and the limits; shortened only by tests.
int secondLength() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("QUILLON_TEST_MS_PER_SECOND", &ok);
    return ok && ms > 0 ? ms : 1000;
}

volatile std::sig_atomic_t g_stopRequested = 0;

void stopOnSignal(int) {
    // Only a flag and write() are safe here; the event loop picks the flag up.
    static const char note[] = "\nAbbruch angefordert ...\n";
    [[maybe_unused]] const auto written = ::write(2, note, sizeof note - 1);
    g_stopRequested = 1;
}

int send(const Parsed& p, AppState& state, ConsoleMessages& console) {
    const QString priorityText =
        p.values.value(QStringLiteral("--prioritaet"), QStringLiteral("normal"));
    int priority = 3;
    if (priorityText == QStringLiteral("hoch"))
        priority = 1;
    else if (priorityText == QStringLiteral("niedrig"))
        priority = 5;
    else if (priorityText != QStringLiteral("normal")) {
        console.error(QStringLiteral("--prioritaet kennt nur hoch, normal und niedrig, nicht \"") +
                      priorityText + QStringLiteral("\"."));
        return Refused;
    }
    if (!openNamed(state, p.values.value(QStringLiteral("--datenbank")), console))
        return Failed;
    AddressTable& table = *state.session.currentTable();
    SendRun::Inputs in;
    if (!loadMail(p, state, &in.mail, console))
        return Failed;

    // The sender: as given, else the first line of the list in force.
    QString sender = p.values.value(QStringLiteral("--absender")).trimmed();
    if (sender.isEmpty()) {
        QStringList lines;
        QString error;
        SenderList::read(SenderList::activePath(state.folders.programFolder,
                                                state.folders.dataFolder,
                                                state.session.definitionName()),
                         &lines, &error);
        sender = lines.value(0).trimmed();
    }
    state.flags.firstSettingsDone = Startup::checkActivation(state.folders.programFolder, console);
    // An account never set up is reported by the run itself, before the sender.
    if (state.flags.firstSettingsDone &&
        (sender.isEmpty() || sender.contains(QChar('\r')) || sender.contains(QChar('\n')))) {
        console.error(QStringLiteral("Es ist kein Absender eingerichtet. Geben Sie ihn mit "
                                     "--absender \"adresse <Name>\" an oder richten Sie ihn unter "
                                     "Programm - Optionen ein."));
        return Failed;
    }
    in.senderEntry = sender;
    in.senderCount = 1; // nobody to ask: the sender is the one given
    in.priority = priority;
    in.tracking = p.switches.contains(QStringLiteral("--tracking"));
    in.statsAddress = state.session.tracking().statsAddress;
    if (in.tracking && in.mail.mode != MailTemplate::Mode::Html) {
        console.error(QStringLiteral("--tracking gilt nur für HTML-E-Mails (--html)."));
        return Refused;
    }
    in.markedCount = markedCount(table);
    if (in.markedCount == 0) {
        console.information(QStringLiteral("Keine Datensätze zum Versenden markiert!"));
        return Done;
    }

    // A connection problem asks whether to stop: without anybody to answer, it stops.
    console.setQuestionAnswer(true);
    SmtpMail mail;
    SendRun run(sendRunContext(state), mail, console);
    run.inputs = in;
    run.millisecondsPerDelaySecond = secondLength();
    RunReport report(::isatty(2) != 0);
    SendRun::Result result;
    bool ended = false;
    QEventLoop loop;
    QObject::connect(&run, &SendRun::recordSent, &run, [&](const QString& entry) {
        report.record(QStringLiteral("gesendet: ") + entry.mid(4), run.progress());
    });
    QObject::connect(&run, &SendRun::recordFailed, &run, [&](const QString& entry) {
        report.record(QStringLiteral("ungültig: ") + entry, run.progress());
    });
    QString lastWait;
    QObject::connect(&run, &SendRun::limitWait, &run, [&](const QString& text, qint64) {
        if (!text.isEmpty() && text != lastWait)
            report.writeLine(text);
        lastWait = text;
    });
    QObject::connect(&run, &SendRun::finished, &run, [&](const SendRun::Result& r) {
        result = r;
        ended = true;
        loop.quit();
    });
    // Ctrl+C or a stop of the timer's service: "Abbrechen", within a fifth of a second.
    g_stopRequested = 0;
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, &run, [&run] {
        if (g_stopRequested)
            run.abort();
    });
    stopWatch.start(200);
    auto previousInt = std::signal(SIGINT, stopOnSignal);
    auto previousTerm = std::signal(SIGTERM, stopOnSignal);
    const int errorsBefore = console.errorCount();
    if (run.start() && !ended)
        loop.exec();
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    stopWatch.stop();
    report.endBar();

    const qint64 left = markedCount(table);
    report.writeLine(QString::number(result.sentList.size()) + QStringLiteral(" gesendet, ") +
                     QString::number(result.invalidList.size()) + QStringLiteral(" ungültig, ") +
                     QString::number(std::max<qint64>(0, left)) +
                     QStringLiteral(" noch markiert."));
    if (result.limitStopped) {
        report.writeLine(result.limitText + QStringLiteral(". Der Versand ist angehalten; ein "
                                                           "neuer Aufruf setzt ihn fort."));
        return LimitStopped;
    }
    if (console.errorCount() > errorsBefore || console.questionCount() > 0 || !result.reachedLoop ||
        left != 0)
        return Failed;
    return Done;
}

// ---- the other commands ----

int import(const Parsed& p, AppState& state, ConsoleMessages& console) {
    const QString file = QFileInfo(p.positional.value(0)).absoluteFilePath();
    if (!QFileInfo(file).isFile()) {
        console.error(QStringLiteral("Die Datei ") + nativePath(file) +
                      QStringLiteral(" gibt es nicht."));
        return Failed;
    }
    if (!openNamed(state, p.values.value(QStringLiteral("--datenbank")), console))
        return Failed;
    ImportOptions o;
    for (const FieldDefinition& f : state.session.definition().targetFields())
        o.fieldNames << f.name;
    const ImportMapping::Stored stored =
        ImportMapping::read(ImportMapping::path(state.session), int(o.fieldNames.size()));
    if (!stored.problem.isEmpty()) {
        console.error(stored.problem);
        return Failed;
    }
    if (!stored.present) {
        console.error(
            QStringLiteral("Für die Datenbank ist keine Zuordnung der Spalten "
                           "gespeichert. Importieren Sie einmal im Programmfenster "
                           "(Import - Textdatei); die Zuordnung wird dabei gespeichert."));
        return Failed;
    }
    for (const QString& c : stored.columns)
        o.columns << ImportMapping::parseColumn(c);
    o.delimiter = stored.delimiter.isEmpty() ? QStringLiteral(";") : stored.delimiter;
    const int errorsBefore = console.errorCount();
    qint64 imported = 0;
    const bool ok = ImportRun::start(state.session, file, o, stored.columns, console,
                                     consoleProgress(console), &imported);
    console.information(QString::number(imported) + QStringLiteral(" Datensätze importiert."));
    return ok && console.errorCount() == errorsBefore ? Done : Failed;
}

int exportTable(const Parsed& p, AppState& state, ConsoleMessages& console) {
    const bool csv = p.values.contains(QStringLiteral("--csv"));
    const bool xlsx = p.values.contains(QStringLiteral("--xlsx"));
    if (csv == xlsx) {
        console.error(
            QStringLiteral("Geben Sie genau ein Ziel an: --csv DATEI oder --xlsx DATEI."));
        return Refused;
    }
    const QString target =
        QFileInfo(p.values.value(csv ? QStringLiteral("--csv") : QStringLiteral("--xlsx")))
            .absoluteFilePath();
    if (!openNamed(state, p.values.value(QStringLiteral("--datenbank")), console))
        return Failed;
    QDir().mkpath(QFileInfo(target).absolutePath());
    AddressTable& table = *state.session.currentTable();
    const bool onlyMarked = p.switches.contains(QStringLiteral("--nur-markierte"));
    QString error;
    bool ok = false;
    if (csv) {
        CsvExportOptions o;
        for (int i = 0; i < table.fieldCount(); ++i)
            o.fields << i;
        o.onlyMarked = onlyMarked;
        ok = CsvExport::write(table, state.session.definition(), o, target,
                              consoleProgress(console), &error);
    } else {
        if (onlyMarked) {
            table.setFilter(SystemColumns::markedFilter);
            table.setFiltered(true);
        }
        QList<ExportColumn> columns;
        const TableDefinition& definition = state.session.definition();
        for (int i = 0; i < table.fieldCount(); ++i) {
            const QString name = table.fieldName(i);
            const FieldDefinition* f = definition.field(name);
            columns << ExportColumn{i, f && !f->caption.isEmpty() ? f->caption : name};
        }
        ok = SpreadsheetExport::write(SpreadsheetExport::Format::Xlsx, table, columns, target,
                                      consoleProgress(console), &error);
    }
    if (!ok) {
        console.error(error);
        return Failed;
    }
    console.information(QStringLiteral("Exportiert nach ") + nativePath(target));
    return Done;
}

int check(const Parsed& p, AppState& state, ConsoleMessages& console) {
    if (!openNamed(state, p.values.value(QStringLiteral("--datenbank")), console))
        return Failed;
    const qint64 invalid =
        AddressCheck::markInvalidAddresses(state.session.currentTable(), consoleProgress(console));
    if (invalid < 0) {
        console.error(QStringLiteral("Die Tabelle hat keine Spalte \"Mail\"."));
        return Failed;
    }
    console.information(QString::number(invalid) +
                        QStringLiteral(" ungültige E-Mail-Adressen gefunden und als ungültig "
                                       "(Invalid) gekennzeichnet."));
    return Done;
}

int backup(const Parsed& p, AppState& state, ConsoleMessages& console) {
    const QString folder = QFileInfo(p.positional.value(0)).absoluteFilePath();
    const int errorsBefore = console.errorCount();
    Backup::Options options;
    const bool ok = Backup::MakeBackup(state.session, folder, QString(), console, options);
    return ok && console.errorCount() == errorsBefore ? Done : Failed;
}

} // namespace

QString helpText() {
    return QString::fromUtf8(
        "Quillon – Serien-E-Mails\n"
        "\n"
        "Aufruf:\n"
        "  quillon                       startet das Programmfenster\n"
        "  quillon --help                zeigt diese Hilfe\n"
        "  quillon senden --datenbank NAME (--vorlage DATEI.mail | --html DATEI.eml)\n"
        "                 [--absender \"adresse <Name>\"] [--prioritaet hoch|normal|niedrig]\n"
        "                 [--tracking]\n"
        "      sendet die Serien-E-Mail an alle markierten Datensätze, mit allen Regeln des\n"
        "      Versands im Fenster (Buchung in der Tabelle, Protokolle, Versandlimits).\n"
        "      Ohne --absender gilt der erste Absender der Absenderliste.\n"
        "  quillon importieren --datenbank NAME DATEI\n"
        "      importiert eine Textdatei mit der gespeicherten Spaltenzuordnung der Datenbank.\n"
        "  quillon exportieren --datenbank NAME (--csv DATEI | --xlsx DATEI) [--nur-markierte]\n"
        "      exportiert alle (oder nur die markierten) Datensätze.\n"
        "  quillon pruefen --datenbank NAME\n"
        "      prüft alle E-Mail-Adressen und kennzeichnet ungültige als Invalid.\n"
        "  quillon sichern ORDNER\n"
        "      sichert alle Datenbanken in den Ordner.\n"
        "\n"
        "NAME ist der Name der Datenbank, wie ihn das Programm zeigt, oder ihre\n"
        "Definitionsdatei (z. B. Database.ini).\n"
        "\n"
        "Der Fortschritt steht auf der Standardfehlerausgabe: eine Zeile je Datensatz oder,\n"
        "im Terminal, ein Fortschrittsbalken. Strg+C bricht den Versand ab wie \"Abbrechen\".\n"
        "\n"
        "Rückgabewerte:\n"
        "  0  erledigt: jeder markierte Datensatz wurde bearbeitet\n"
        "  1  Fehler (die Meldung steht auf der Standardfehlerausgabe)\n"
        "  2  falscher Aufruf, oder Quillon läuft bereits (Fenster oder anderer Befehl)\n"
        "  3  ein Tageslimit hat den Versand angehalten; die übrigen Datensätze bleiben\n"
        "     markiert und ein neuer Aufruf setzt den Versand fort\n"
        "\n"
        "Zeitgesteuerter Versand (systemd-Timer oder cron):\n"
        "  Ein Aufruf pro Tag setzt einen langen Versand fort, bis alle markierten\n"
        "  Datensätze versendet sind. Beispiel mit systemd (Benutzerdienst), Dateien in\n"
        "  ~/.config/systemd/user/; Vorlagen liegen dem Programm bei (resources/systemd):\n"
        "\n"
        "    quillon-versand.service:\n"
        "      [Service]\n"
        "      Type=oneshot\n"
        "      ExecStart=/usr/bin/quillon senden --datenbank Database --vorlage "
        "%h/Newsletter.mail\n"
        "      SuccessExitStatus=3\n"
        "\n"
        "    quillon-versand.timer:\n"
        "      [Timer]\n"
        "      OnCalendar=*-*-* 08:00\n"
        "      Persistent=true\n"
        "      [Install]\n"
        "      WantedBy=timers.target\n"
        "\n"
        "    systemctl --user enable --now quillon-versand.timer\n"
        "\n"
        "  Mit cron (crontab -e), täglich um 8 Uhr:\n"
        "    0 8 * * * /usr/bin/quillon senden --datenbank Database --vorlage "
        "$HOME/Newsletter.mail "
        ">> $HOME/quillon-versand.log 2>&1\n");
}

int run(const QStringList& arguments) {
    ConsoleMessages console;
    const QString first = arguments.value(0);
    if (first == QStringLiteral("--help") || first == QStringLiteral("-h") ||
        first == QStringLiteral("hilfe") || arguments.contains(QStringLiteral("--help"))) {
        std::fputs(helpText().toUtf8().constData(), stdout);
        return Done;
    }
    const Parsed p = parse(arguments);
    if (!p.problem.isEmpty()) {
        console.error(p.problem);
        return Refused;
    }
    // One instance per machine, the window included.
    SingleInstance instance;
    if (!instance.acquire()) {
        console.error(QString::fromUtf8(
            "Quillon ist bereits gestartet!\rBitte wechseln Sie in der Taskleiste zum Programm "
            "\"Quillon\"\rApplication already running!"));
        return Refused;
    }
    AppState state;
    if (!Startup::prepareState(state, console))
        return Refused;
    if (p.command == QStringLiteral("senden"))
        return send(p, state, console);
    if (p.command == QStringLiteral("importieren"))
        return import(p, state, console);
    if (p.command == QStringLiteral("exportieren"))
        return exportTable(p, state, console);
    if (p.command == QStringLiteral("pruefen"))
        return check(p, state, console);
    return backup(p, state, console);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(Startup::productName());
    QCoreApplication::setOrganizationName(QStringLiteral("NORVALE"));
    QCoreApplication::setApplicationVersion(Startup::productVersion());
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const int status = run(arguments);
    return status;
}

} // namespace CommandLine
