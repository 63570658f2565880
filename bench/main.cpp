// quillon-bench: measures the figures the program must reach on large tables.
//   quillon-bench --list
//   quillon-bench NAME --records N
// Each benchmark prints lines "figure-name value unit". Data sets are generated once
// per size into the system temp folder and reused by later runs.
#include "BounceBench.h"
#include "ContactBench.h"
#include "DataGenerator.h"
#include "WebSyncBench.h"

#include "common/FilePicker.h"
#include "common/Messages.h"
#include "common/TextFile.h"
#include "compose/HtmlMailFile.h"
#include "compose/Merge.h"
#include "compose/SalutationFormula.h"
#include "compose/forms/HtmlView.h"
#include "database/AddressTable.h"
#include "database/Backup.h"
#include "database/Catalogue.h"
#include "database/Transfer.h"
#include "database/WebSettings.h"
#include "exchange/CsvExport.h"
#include "exchange/SpreadsheetExport.h"
#include "exchange/TableImport.h"
#include "exchange/TextImport.h"
#include "exchange/forms/TImportForm.h"
#include "hygiene/AddressCheck.h"
#include "hygiene/BulkDeletion.h"
#include "hygiene/Duplicates.h"
#include "hygiene/EmailAddress.h"
#include "platform/LocalTime.h"
#include "records/Marking.h"
#include "records/RecordEditing.h"
#include "records/RecordSearch.h"
#include "send/DkimSigner.h"
#include "send/MimeMessage.h"
#include "send/SendRun.h"
#include "send/SmtpMail.h"
#include "settings/AccountSettings.h"
#include "shell/AppState.h"
#include "shell/SendRunContext.h"
#include "shell/forms/AddressGridModel.h"
#include "support/SmtpTestServer.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

namespace {

void figure(const char* name, double value, const char* unit) {
    std::printf("%s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

double peakMemoryMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

QString dataSetFolder(qint64 n) {
    return QDir::tempPath() + QStringLiteral("/quillon-bench-%1/").arg(n);
}

// A program folder holding n records, generated on first use.
QString ensureDataSet(qint64 n) {
    const QString folder = dataSetFolder(n);
    if (QFile::exists(folder + QStringLiteral("complete")))
        return folder;
    QDir(folder).removeRecursively();
    std::fprintf(stderr, "Erzeuge %lld Datensätze in %s ...\n", static_cast<long long>(n),
                 qPrintable(folder));
    const QString error = DataGenerator::makeProgramFolder(folder, n);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "Fehler: %s\n", qPrintable(error));
        std::exit(1);
    }
    QFile marker(folder + QStringLiteral("complete"));
    marker.open(QIODevice::WriteOnly);
    return folder;
}

struct Opened {
    AppState state;
    SilentMessages messages;
    AddressTable* table = nullptr;
};

// Opens the standard database of a generated folder the way the program does.
void openDataSet(Opened& o, qint64 n) {
    o.state.setFolders(
        WorkingFolders::fromProgramFolder(ensureDataSet(n), QString(), QDir::tempPath()));
    o.state.session.reloadCatalogue();
    if (!OpenDatabase(o.state.session, QStringLiteral("Database.ini"), o.messages) ||
        !o.state.session.currentTable()) {
        std::fprintf(stderr, "Datenbank kann nicht geöffnet werden\n");
        std::exit(1);
    }
    o.table = o.state.session.currentTable();
}

double seconds(const std::function<void()>& work) {
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e9;
}

void benchCreateFill(qint64 n) {
    const QString folder = QDir::tempPath() + QStringLiteral("/quillon-bench-create/");
    QDir(folder).removeRecursively();
    QString error;
    const double s = seconds([&] { error = DataGenerator::makeProgramFolder(folder, n); });
    if (!error.isEmpty()) {
        std::fprintf(stderr, "Fehler: %s\n", qPrintable(error));
        std::exit(1);
    }
    figure("create_fill", s, "s");
    QDir(folder).removeRecursively();
}

void benchOpenGrid(qint64 n) {
    ensureDataSet(n);
    Opened o;
    QTableView view;
    AddressGridModel model;
    const double s = seconds([&] {
        openDataSet(o, n);
        model.setTable(o.table);
        view.setModel(&model);
        view.resize(1200, 700);
        view.show();
        QApplication::processEvents();
    });
    figure("open_database_grid", s, "s");
    figure("rows_read_for_first_screen", double(model.rowsRead()), "rows");
}

void benchCountMarked(qint64 n) {
    Opened o;
    openDataSet(o, n);
    o.table->updateRecords(o.table->tableIds(), {{"Selected", false}});
    o.table->updateRecords(o.table->tableIds(o.table->conditionFieldBetween("ID", 1, n / 10)),
                           {{"Selected", true}});
    qint64 count = 0;
    const double s = seconds([&] {
        o.table->setFilter(QStringLiteral("Selected='True'"));
        o.table->setFiltered(true);
        count = o.table->recordCount();
    });
    figure("count_marked", s, "s");
    figure("marked_records", double(count), "records");
}

void benchMarkAll(qint64 n) {
    Opened o;
    openDataSet(o, n);
    qint64 changed = 0;
    const double mark = seconds([&] {
        changed = o.table->updateRecords(o.table->viewIds(), {{"Selected", true}}, {},
                                         [](qint64, qint64) {});
    });
    figure("mark_all", mark, "s");
    const double unmark = seconds([&] {
        o.table->updateRecords(o.table->tableIds(), {{"Selected", false}}, {},
                               [](qint64, qint64) {});
    });
    figure("unmark_all", unmark, "s");
    figure("records_marked", double(changed), "records");
}

void benchPageRead(qint64 n) {
    Opened o;
    openDataSet(o, n);
    std::mt19937_64 rng(7);
    double worst = 0;
    double total = 0;
    const int pages = 200;
    for (int p = 0; p < pages; ++p) {
        const qint64 start =
            qint64(rng() % quint64(std::max<qint64>(1, o.table->recordCount() - 50)));
        const double s = seconds([&] {
            for (qint64 r = start; r < start + 50; ++r)
                o.table->rowValues(r);
        });
        worst = std::max(worst, s);
        total += s;
    }
    figure("page_50_rows_worst", worst * 1000, "ms");
    figure("page_50_rows_mean", total / pages * 1000, "ms");
}

void benchFilterPrefix(qint64 n) {
    Opened o;
    openDataSet(o, n);
    qint64 count = 0;
    const double s = seconds([&] {
        o.table->setFilter(QStringLiteral("Name = 'Mei*'"));
        o.table->setFiltered(true);
        count = o.table->recordCount();
    });
    figure("filter_prefix", s, "s");
    figure("filter_prefix_records", double(count), "records");
}

// The hygiene benchmarks change or delete records: they work on a copy of the data
// set so the shared one stays as generated.
QString scratchCopy(qint64 n) {
    const QString source = ensureDataSet(n);
    const QString target = QDir::tempPath() + QStringLiteral("/quillon-bench-hygiene/");
    QDir(target).removeRecursively();
    QDir().mkpath(target + QStringLiteral("Data"));
    for (const QString& name : QDir(source).entryList(QDir::Files))
        QFile::copy(source + name, target + name);
    for (const QString& name : QDir(source + QStringLiteral("Data")).entryList(QDir::Files))
        QFile::copy(source + QStringLiteral("Data/") + name,
                    target + QStringLiteral("Data/") + name);
    ::sync(); // the copy's writes must not fall into the measured time
    return target;
}

void openScratch(Opened& o, qint64 n) {
    o.state.setFolders(
        WorkingFolders::fromProgramFolder(scratchCopy(n), QString(), QDir::tempPath()));
    o.state.folders.systemTempFolder = o.state.folders.programFolder + QStringLiteral("systemp/");
    o.state.session.reloadCatalogue();
    if (!OpenDatabase(o.state.session, QStringLiteral("Database.ini"), o.messages) ||
        !o.state.session.currentTable()) {
        std::fprintf(stderr, "Datenbank kann nicht geöffnet werden\n");
        std::exit(1);
    }
    o.table = o.state.session.currentTable();
}

void removeScratch() {
    QDir(QDir::tempPath() + QStringLiteral("/quillon-bench-hygiene/")).removeRecursively();
}

// Processor time of this process in seconds: on the shared machine the wall-clock
// figure includes waiting for other processes, this one does not.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class YesMessages : public SilentMessages {
public:
    bool question(const QString&) override { return true; }
    bool destructiveQuestion(const QString&) override { return true; }
};

void benchWebSyncOnScratch(qint64 n) {
    {
        Opened o;
        openScratch(o, n);
        benchWebSync(o.table);
    }
    removeScratch();
}

void benchAddressCheck(qint64 n) {
    {
        Opened o;
        openScratch(o, n);
        qint64 invalid = 0;
        const double cpu = cpuSeconds();
        const double s =
            seconds([&] { invalid = AddressCheck::markInvalidAddresses(o.table, Progress{}); });
        figure("address_check_both_passes", s, "s");
        figure("address_check_cpu", cpuSeconds() - cpu, "s");
        figure("address_check_invalid", double(invalid), "records");
    }
    removeScratch();
}

void benchDuplicates(qint64 n) {
    {
        Opened o;
        openScratch(o, n);
        QElapsedTimer t;
        double detect = 0;
        double detectCpu = 0;
        const double cpu = cpuSeconds();
        t.start();
        const qint64 values = Duplicates::run(
            o.state.folders, o.state.session, Duplicates::Tool::Mail, QString(),
            [&] {
                detect = double(t.nsecsElapsed()) / 1e9;
                detectCpu = cpuSeconds() - cpu;
                t.restart();
                return Duplicates::Choice{true, Duplicates::Action::Delete,
                                          Duplicates::KeepRule::Oldest};
            },
            o.messages, Progress{});
        const double remove = double(t.nsecsElapsed()) / 1e9;
        figure("duplicates_detect", detect, "s");
        figure("duplicates_delete_oldest", remove, "s");
        figure("duplicates_detect_cpu", detectCpu, "s");
        figure("duplicates_delete_cpu", cpuSeconds() - cpu - detectCpu, "s");
        figure("duplicate_values", double(values), "values");
        figure("records_left", double(o.table->tableIds().size()), "records");
    }
    removeScratch();
}

void benchDeleteMarked(qint64 n) {
    {
        Opened o;
        openScratch(o, n);
        std::vector<qint64> half;
        for (qint64 id : o.table->tableIds())
            if (id % 2 == 0)
                half.push_back(id);
        o.table->updateRecords(o.table->tableIds(), {{"Selected", false}});
        o.table->updateRecords(half, {{"Selected", true}});
        qint64 deleted = 0;
        const double cpu = cpuSeconds();
        const double s = seconds([&] {
            deleted = BulkDeletion::deleteByFlag(o.table, QStringLiteral("Selected"), Progress{});
        });
        figure("delete_marked_half", s, "s");
        figure("delete_marked_half_cpu", cpuSeconds() - cpu, "s");
        figure("deleted_records", double(deleted), "records");
    }
    removeScratch();
}

void benchEmptyDatabase(qint64 n) {
    {
        Opened o;
        openScratch(o, n);
        YesMessages yes;
        const double s =
            seconds([&] { BulkDeletion::emptyDatabase(o.state.session, yes, Progress{}); });
        figure("empty_database", s, "s");
        figure("records_after_emptying", double(o.state.session.currentTable()->recordCount()),
               "records");
    }
    removeScratch();
}

// Merges a prepared template with every record of the generated table, walking the
// table through the engine and passing each Anrede through the shipped salutation
// formula. Reports the whole walk and the part spent merging.
struct MergeFigures {
    double total = 0;
    double merging = 0;
    qint64 records = 0;
    qint64 characters = 0;
};

template <typename Merger>
MergeFigures mergeOverTable(qint64 n, qint64 records, const Merger& mergeOne) {
    Opened o;
    openDataSet(o, n);
    const QString formulaPath = QDir::tempPath() + QStringLiteral("/quillon-bench-Grussformel.txt");
    TextFile::writeLines(formulaPath, {QStringLiteral("Herr|Sehr geehrter Herr"),
                                       QStringLiteral("Frau|Sehr geehrte Frau"),
                                       QStringLiteral("Herren|Sehr geehrte Herren"),
                                       QStringLiteral("Herr Dr.|Sehr geehrter Herr Dr."),
                                       QStringLiteral("Frau Dr.|Sehr geehrte Frau Dr."),
                                       QStringLiteral("Familie|Liebe Familie"),
                                       QStringLiteral("Firma|Sehr geehrte Damen und Herren"),
                                       QStringLiteral("{LEER}|Sehr geehrte Damen und Herren")});
    SalutationFormula formula(formulaPath);
    MergeRecordReader reader(MergeColumns::forTable(*o.table), &formula);
    MergeFigures f;
    QElapsedTimer lap;
    f.total = seconds([&] {
        const qint64 rows = o.table->recordCount();
        for (qint64 i = 0; i < records; ++i) {
            const QVariantList row = o.table->rowValues(i % rows);
            lap.start();
            const MergeRecord record = reader.read(row);
            f.characters += mergeOne(reader.columns(), record);
            f.merging += double(lap.nsecsElapsed()) / 1e9;
        }
    });
    f.records = records;
    QFile::remove(formulaPath);
    return f;
}

// A 2 KB text mail with ten placeholders (two in the subject), merged for n records.
void benchTextMerge(qint64 n) {
    QStringList lines = {QStringLiteral("$ANREDE $NAME,"), QString(),
                         QStringLiteral("wir freuen uns, Ihnen heute, am $DATUM, unser neues "
                                        "Herbstprogramm vorzustellen.")};
    const QString filler = QStringLiteral("Unser Angebot gilt für alle Kunden in Deutschland, "
                                          "Österreich und der Schweiz; ");
    while (lines.join(QStringLiteral("\r\n")).size() < 1750)
        lines << filler;
    lines << QStringLiteral("Ihre Anschrift: $STRASSE, $PLZ $ORT ($LAND)")
          << QStringLiteral("Ihre Adresse: $MAIL") << QString()
          << QStringLiteral("Mit freundlichen Grüßen") << QStringLiteral("Ihr Team");
    const QString subject = QStringLiteral("Herbstprogramm für $VORNAME $NAME");
    std::unique_ptr<TextMailMerge> mail;
    const MergeFigures f = mergeOverTable(n, n, [&](const MergeColumns& c, const MergeRecord& r) {
        if (!mail)
            mail = std::make_unique<TextMailMerge>(subject, lines, c);
        const TextMailMerge::Result merged = mail->merge(r);
        return qint64(merged.subject.size() + merged.lines.size());
    });
    figure("text_merge_template_chars", double(subject.size() + lines.join("\r\n").size()),
           "chars");
    figure("text_merge_total", f.total, "s");
    figure("text_merge_merging", f.merging, "s");
    figure("text_merge_records", double(f.records), "records");
}

// A 50 KB HTML body with placeholders, merged for n records (table walked as often as
// needed).
void benchHtmlMerge(qint64 n) {
    QString body = QStringLiteral("<html><head><meta charset=\"utf-8\"><title>Newsletter</title>"
                                  "</head><body><p>$ANREDE $NAME,</p><p>heute, am $DATUM ...</p>");
    const QString block = QStringLiteral(
        "<div class=\"artikel\"><h2>Neu im Programm</h2><p>Unsere Angebote für Kunden in "
        "Deutschland, Österreich und der Schweiz: <a href=\"https://www.example.de/\">mehr "
        "erfahren</a> &ndash; Preise ab 19,90&nbsp;&euro;.</p></div>\r\n");
    while (body.size() < 50 * 1024 - 300)
        body += block;
    body += QStringLiteral("<p>Ihre Anschrift: $STRASSE, $PLZ $ORT, $LAND &ndash; $MAIL</p>"
                           "<p>Für $VORNAME $NAME von $FIRMA</p></body></html>");
    std::unique_ptr<MergeText> prepared;
    const MergeFigures f = mergeOverTable(
        std::min<qint64>(n, 100000), n, [&](const MergeColumns& c, const MergeRecord& r) {
            if (!prepared)
                prepared = std::make_unique<MergeText>(body, MergeText::Mode::Html, c);
            return qint64(prepared->merge(r).size());
        });
    figure("html_merge_body_chars", double(body.size()), "chars");
    figure("html_merge_total", f.total, "s");
    figure("html_merge_merging", f.merging, "s");
    figure("html_merge_records", double(f.records), "records");
}

// Main window figures: scrolling, marking commands, search, setting a column.
void benchGridScroll(qint64 n) {
    Opened o;
    openDataSet(o, n);
    QTableView view;
    AddressGridModel model;
    model.setTable(o.table);
    view.setModel(&model);
    view.resize(1200, 700);
    view.show();
    QApplication::processEvents();
    std::mt19937_64 rng(11);
    double worst = 0;
    for (int i = 0; i < 20; ++i) {
        const int row = int(rng() % quint64(o.table->recordCount()));
        worst = std::max(worst, seconds([&] {
                             view.scrollTo(model.index(row, 0), QAbstractItemView::PositionAtTop);
                             view.viewport()->repaint();
                         }));
    }
    figure("grid_scroll_worst", worst * 1000, "ms");
}

void benchMarkCommands(qint64 n) {
    Opened o;
    openDataSet(o, n);
    Marking::unmarkAll(o.table);
    figure("mark_id_range",
           seconds([&] { Marking::markIdRange(o.table, n / 4, n / 2, [](const QString&) {}); }),
           "s");
    Marking::unmarkAll(o.table);
    o.table->first();
    figure("mark_by_text", seconds([&] {
               Marking::markByText(o.table, QStringLiteral("Meier"), [](const QString&) {});
           }),
           "s");
    figure("marked_by_text", double(Marking::countMarked(o.table)), "records");
    figure("reset_invalid", seconds([&] { Marking::resetInvalid(o.table); }), "s");
    figure("unmark_all_command", seconds([&] { Marking::unmarkAll(o.table); }), "s");
}

void benchSearch(qint64 n) {
    Opened o;
    openDataSet(o, n);
    // A word only the last record holds.
    o.table->last();
    o.table->edit();
    o.table->setString(QStringLiteral("Betreff"), QStringLiteral("Zielsuchwort"));
    o.table->post();
    o.table->first();
    RecordSearch search;
    RecordSearch::Options exact;
    exact.text = QStringLiteral("zielsuchwort");
    SearchResult r;
    figure("search_exact_to_last", seconds([&] { r = search.step(*o.table, exact); }), "s");
    figure("search_exact_hit_row", double(o.table->recNo() + 1), "row");
    o.table->first();
    RecordSearch fuzzy;
    RecordSearch::Options options;
    options.text = QStringLiteral("Qxyzwvutsr");
    options.fuzzy = true;
    figure("search_fuzzy_whole_table", seconds([&] { r = fuzzy.step(*o.table, options); }), "s");
    // The same walk when one record holds a value of a million characters without a
    // blank and the search text is as long: the comparison stays bounded.
    QString huge(1000000, QChar('q'));
    o.table->last();
    o.table->edit();
    o.table->setString(QStringLiteral("Betreff"), huge);
    o.table->post();
    o.table->first();
    huge[999999] = QChar('z'); // the last record is the only hit
    RecordSearch fuzzyHuge;
    RecordSearch::Options hugeOptions;
    hugeOptions.text = huge;
    hugeOptions.fuzzy = true;
    figure("search_fuzzy_huge_value", seconds([&] { r = fuzzyHuge.step(*o.table, hugeOptions); }),
           "s");
    figure("search_fuzzy_huge_hit_row", double(o.table->recNo() + 1), "row");
    // The exact search for the same million characters finds nothing but still walks.
    o.table->first();
    RecordSearch exactHuge;
    RecordSearch::Options hugeExact;
    hugeExact.text = huge;
    figure("search_exact_huge_text", seconds([&] { r = exactHuge.step(*o.table, hugeExact); }),
           "s");
    o.table->last();
    o.table->edit();
    o.table->setString(QStringLiteral("Betreff"), QString());
    o.table->post();
}

void benchSetColumn(qint64 n) {
    Opened o;
    openDataSet(o, n);
    figure("set_column_all", seconds([&] {
               SetColumnContent(
                   o.state.session, QStringLiteral("Betreff"), QStringLiteral("Sommeraktion"),
                   false, [](const QString&) {}, o.messages);
           }),
           "s");
    figure("set_column_empty_all", seconds([&] {
               SetColumnContent(
                   o.state.session, QStringLiteral("Betreff"), QString(), false,
                   [](const QString&) {}, o.messages);
           }),
           "s");
}

// The send run: a text run over up to 10,000 marked records to a local aiosmtpd sink
// with delay 0, against a Python smtplib loop sending the same merged messages over one
// connection to the same sink.
const char* kSmtplibLoop = R"PY(
import json, smtplib, sys, time
from email import charset
from email.header import Header
from email.mime.text import MIMEText
from email.utils import formatdate, make_msgid
port, path = int(sys.argv[1]), sys.argv[2]
qp = charset.Charset("utf-8")
qp.header_encoding = charset.QP
qp.body_encoding = charset.QP
messages = []
for line in open(path, encoding="utf-8"):
    d = json.loads(line)
    m = MIMEText(d["body"], "plain", qp)
    m["From"] = "Firma GmbH <info@firma.de>"
    m["To"] = d["to"]
    m["Subject"] = Header(d["subject"], "utf-8")
    m["Date"] = formatdate(localtime=True)
    m["Message-ID"] = make_msgid(domain="firma.de")
    m["X-Mailer"] = "XMailer"
    messages.append((d["to"], m.as_bytes(policy=m.policy.clone(linesep="\r\n"))))
s = smtplib.SMTP("127.0.0.1", port)
start = time.perf_counter()
for to, data in messages:
    s.sendmail("info@firma.de", [to], data)
elapsed = time.perf_counter() - start
s.quit()
print(len(messages), elapsed)
)PY";

// Runs a Python comparison loop with the given arguments; it prints how many messages
// it sent and in how many seconds.
std::pair<double, double> runSmtplibLoop(const char* source, const QStringList& arguments) {
    QTemporaryFile script;
    script.open();
    script.write(source);
    script.flush();
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), QStringList{script.fileName()} + arguments);
    python.waitForFinished(-1);
    const QStringList result =
        QString::fromUtf8(python.readAllStandardOutput()).split(QChar(' '), Qt::SkipEmptyParts);
    if (result.size() < 2) {
        std::fprintf(stderr, "smtplib-Schleife: %s\n", python.readAllStandardError().constData());
        std::exit(1);
    }
    return {result[0].toDouble(), result[1].toDouble()};
}

// A counting SMTP sink and a scratch table of marked records whose account sends to it,
// for the send-run benchmarks.
SmtpTestServer::Options sinkOnly() {
    SmtpTestServer::Options options;
    options.keepMessages = false; // a sink: it accepts and counts, and stores nothing
    return options;
}

struct SendBench {
    explicit SendBench(qint64 records) {
        if (!sink.error().isEmpty()) {
            std::fprintf(stderr, "SMTP-Server startet nicht: %s\n", qPrintable(sink.error()));
            std::exit(1);
        }
        openScratch(o, records);
        o.state.flags.firstSettingsDone = true;
        AccountSettings account;
        account.smtpHost = sink.host();
        account.smtpPort = QString::number(sink.port());
        account.codeSetIndex = 3;
        QString error;
        if (!Settings::writeAccountSettings(o.state.folders.programFolder + "Quillon.ini", account,
                                            &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            std::exit(1);
        }
        o.table->updateRecords(o.table->tableIds(), {{"Selected", true}, {"Invalid", false}});
    }
    SmtpTestServer sink{sinkOnly()};
    Opened o;
};

// The text mail of the send-run benchmarks: about 2 KB with placeholders.
MailTemplate benchTextMail() {
    MailTemplate mail;
    mail.subject = QStringLiteral("Herbstprogramm für $VORNAME $NAME");
    mail.bodyLines = {QStringLiteral("$ANREDE $NAME,"), QString(),
                      QStringLiteral("wir freuen uns, Ihnen heute, am $DATUM, unser neues "
                                     "Herbstprogramm vorzustellen.")};
    while (mail.bodyLines.join(QStringLiteral("\r\n")).size() < 1750)
        mail.bodyLines << QStringLiteral("Unser Angebot gilt für alle Kunden in Deutschland, "
                                         "Österreich und der Schweiz; ");
    mail.bodyLines << QStringLiteral("Ihre Adresse: $MAIL") << QStringLiteral("Ihr Team");
    return mail;
}

// The same merged messages for the comparison loop, prepared before anything is timed.
QString writeSmtplibMessages(Opened& o, const MailTemplate& mail) {
    const QString jsonPath = o.state.folders.programFolder + "messages.jsonl";
    QFile out(jsonPath);
    out.open(QIODevice::WriteOnly);
    const MergeColumns columns = MergeColumns::forTable(*o.table);
    SalutationFormula formula(o.state.folders.programFolder + SalutationFormula::fileName());
    MergeRecordReader reader(columns, &formula);
    const TextMailMerge merge(mail.subject, mail.bodyLines, columns);
    const int mailColumn = o.table->fieldIndex(QStringLiteral("Mail"));
    for (qint64 row = 0; row < o.table->recordCount(); ++row) {
        const QVariantList values = o.table->rowValues(row);
        const QString to = values.value(mailColumn).toString().trimmed();
        if (!IsValidEmailAddress(to))
            continue;
        const TextMailMerge::Result m = merge.merge(reader.read(values));
        QJsonObject line{
            {"to", to}, {"subject", m.subject}, {"body", m.lines.join(QChar('\n')) + "\n"}};
        out.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + "\n");
    }
    return jsonPath;
}

struct InProcessRun {
    double seconds = 0;
    double cpu = 0;
    double growth = 0;
    qint64 sent = 0;
};

// The run the composer window starts, in this process.
InProcessRun runInProcess(Opened& o, const MailTemplate& mail, qint64 records,
                          const QString& trackingStats = {}) {
    SmtpMail smtp;
    SendRun run(sendRunContext(o.state), smtp, o.messages);
    run.inputs.mail = mail;
    run.inputs.senderEntry = QStringLiteral("info@firma.de <Firma GmbH>");
    run.inputs.senderCount = 1;
    run.inputs.markedCount = records;
    run.inputs.tracking = !trackingStats.isEmpty();
    run.inputs.statsAddress = trackingStats;
    QEventLoop untilFinished;
    QObject::connect(&run, &SendRun::finished, &untilFinished, &QEventLoop::quit,
                     Qt::QueuedConnection);
    InProcessRun r;
    const double before = peakMemoryMb();
    const double cpuBefore = cpuSeconds();
    r.seconds = seconds([&] {
        if (run.start())
            untilFinished.exec(); // the bench's own loop; the run itself never waits
    });
    r.cpu = cpuSeconds() - cpuBefore;
    r.growth = peakMemoryMb() - before;
    r.sent = run.sentList().size();
    return r;
}

void benchSendRun(qint64 n) {
    const qint64 records = std::min<qint64>(n, 10000);
    SendBench bench(records);
    SmtpTestServer& sink = bench.sink;
    Opened& o = bench.o;
    const MailTemplate mail = benchTextMail();
    const QString jsonPath = writeSmtplibMessages(o, mail);

    const InProcessRun ours = runInProcess(o, mail, records);
    const qint64 arrived = sink.acceptedCount();

    const auto [pySent, pySeconds] =
        runSmtplibLoop(kSmtplibLoop, {QString::number(sink.port()), jsonPath});
    const qint64 pyArrived = sink.acceptedCount() - arrived;

    figure("send_run_records", double(records), "records");
    figure("send_run_sent", double(ours.sent), "messages");
    figure("send_run_arrived", double(arrived), "messages");
    figure("send_run_seconds", ours.seconds, "s");
    figure("send_run_cpu", ours.cpu, "s");
    figure("send_run_rate", double(ours.sent) / ours.seconds, "messages/s");
    figure("smtplib_sent", pySent, "messages");
    figure("smtplib_arrived", double(pyArrived), "messages");
    figure("smtplib_rate", pySent / pySeconds, "messages/s");
    figure("send_run_ratio", (double(ours.sent) / ours.seconds) / (pySent / pySeconds), "x");
    figure("send_run_peak_memory_growth", ours.growth, "MB");
    removeScratch();
}

// "quillon senden" as a timer starts it, beside the windowed run's engine in this
// process and the smtplib loop, on the same records and the same sink.
void benchSendRunCli(qint64 n) {
    const qint64 records = std::min<qint64>(n, 10000);
    SendBench bench(records);
    SmtpTestServer& sink = bench.sink;
    Opened& o = bench.o;
    const MailTemplate mail = benchTextMail();
    const QString jsonPath = writeSmtplibMessages(o, mail);
    const QString folder = o.state.folders.programFolder;

    const InProcessRun window = runInProcess(o, mail, records);
    qint64 arrived = sink.acceptedCount();

    // The same records marked again; the child opens the table itself.
    o.table->updateRecords(o.table->tableIds(), {{"Selected", true}, {"Invalid", false}});
    CloseDatabase(o.state.session);
    const QString templatePath = folder + "bench.mail";
    writeMailTemplate(templatePath, mail);
    TextFile::writeLines(o.state.folders.dataFolder + "AbsenderMails.ini",
                         {QStringLiteral("info@firma.de <Firma GmbH>")});
    QProcess quillon;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUILLON_HOME", folder);
    env.insert("HOME", folder);
    quillon.setProcessEnvironment(env);
    quillon.setProcessChannelMode(QProcess::ForwardedOutputChannel); // stderr is read below
    int lines = 0;
    QObject::connect(&quillon, &QProcess::readyReadStandardError,
                     [&] { lines += int(quillon.readAllStandardError().count('\n')); });
    const double cli = seconds([&] {
        quillon.start(QStringLiteral(QUILLON_PROGRAM),
                      {"senden", "--datenbank", "Database.ini", "--vorlage", templatePath});
        quillon.waitForStarted(-1);
        while (quillon.state() != QProcess::NotRunning)
            quillon.waitForFinished(100), QCoreApplication::processEvents();
    });
    const qint64 cliArrived = sink.acceptedCount() - arrived;
    arrived += cliArrived;
    if (quillon.exitCode() != 0)
        std::fprintf(stderr, "quillon senden endete mit %d\n", quillon.exitCode());

    const auto [pySent, pySeconds] =
        runSmtplibLoop(kSmtplibLoop, {QString::number(sink.port()), jsonPath});

    const double windowRate = double(window.sent) / window.seconds;
    const double cliRate = double(cliArrived) / cli;
    figure("send_run_cli_records", double(records), "records");
    figure("send_run_cli_exit_status", double(quillon.exitCode()), "");
    figure("send_run_cli_arrived", double(cliArrived), "messages");
    figure("send_run_cli_progress_lines", double(lines), "lines");
    figure("send_run_cli_seconds", cli, "s");
    figure("send_run_cli_rate", cliRate, "messages/s");
    figure("send_run_window_engine_rate", windowRate, "messages/s");
    figure("smtplib_rate", pySent / pySeconds, "messages/s");
    figure("send_run_cli_to_window_ratio", cliRate / windowRate, "x");
    figure("send_run_cli_ratio", cliRate / (pySent / pySeconds), "x");
    removeScratch();
}

// The text run without and then with every message signed (RSA, 2048 bits), on the same
// records and the same sink: the difference per message is what signing adds.
void benchSendRunDkim(qint64 n) {
    const qint64 records = std::min<qint64>(n, 10000);
    SendBench bench(records);
    Opened& o = bench.o;
    const MailTemplate mail = benchTextMail();
    const InProcessRun plain = runInProcess(o, mail, records);

    o.table->updateRecords(o.table->tableIds(), {{"Selected", true}, {"Invalid", false}});
    const QString folder = o.state.folders.programFolder;
    const DkimSettings dkim{true, QStringLiteral("firma.de"), QStringLiteral("bench"),
                            folder + "dkim.pem"};
    QString error;
    if (QProcess::execute(QStringLiteral("openssl"),
                          {"genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048",
                           "-out", dkim.keyFile}) != 0 ||
        !dkim.write(folder + "Quillon.ini", &error)) {
        std::fprintf(stderr, "DKIM-Schlüssel: %s\n", qPrintable(error));
        std::exit(1);
    }
    const InProcessRun signedRun = runInProcess(o, mail, records);

    const double off = 1000.0 * plain.seconds / double(std::max<qint64>(1, plain.sent));
    const double on = 1000.0 * signedRun.seconds / double(std::max<qint64>(1, signedRun.sent));
    figure("send_run_dkim_records", double(records), "records");
    figure("send_run_dkim_sent_unsigned", double(plain.sent), "messages");
    figure("send_run_dkim_sent_signed", double(signedRun.sent), "messages");
    figure("send_run_dkim_unsigned_ms_per_message", off, "ms");
    figure("send_run_dkim_signed_ms_per_message", on, "ms");
    figure("send_run_dkim_added_ms_per_message", on - off, "ms");
    figure("send_run_dkim_added_cpu_ms_per_message",
           1000.0 * (signedRun.cpu / double(std::max<qint64>(1, signedRun.sent)) -
                     plain.cpu / double(std::max<qint64>(1, plain.sent))),
           "ms");
    removeScratch();
}

// The text run without and then with the one-click unsubscribe link of a web kit (the
// two headers and $ABMELDELINK in the body), on the same records and the same sink.
void benchSendRunUnsubscribe(qint64 n) {
    const qint64 records = std::min<qint64>(n, 10000);
    SendBench bench(records);
    Opened& o = bench.o;
    MailTemplate mail = benchTextMail();
    mail.bodyLines << QStringLiteral("Abmelden: $ABMELDELINK");
    const InProcessRun without = runInProcess(o, mail, records);

    o.table->updateRecords(o.table->tableIds(), {{"Selected", true}, {"Invalid", false}});
    WebSettings web(o.state.folders.dataFolder, o.state.session.definitionName());
    if (!web.setOnlinePath(QStringLiteral("http://www.firma.de/newsletter/")) ||
        !web.setOnlinePassword(QStringLiteral("geheim42"))) {
        std::fprintf(stderr, "Web-Einstellungen: %s\n", qPrintable(web.path()));
        std::exit(1);
    }
    const InProcessRun with = runInProcess(o, mail, records);
    const auto msPer = [](double total, qint64 sent) {
        return 1000.0 * total / double(std::max<qint64>(1, sent));
    };
    figure("send_run_unsub_records", double(records), "records");
    figure("send_run_unsub_sent_without", double(without.sent), "messages");
    figure("send_run_unsub_sent_with", double(with.sent), "messages");
    figure("send_run_unsub_without_ms_per_message", msPer(without.seconds, without.sent), "ms");
    figure("send_run_unsub_with_ms_per_message", msPer(with.seconds, with.sent), "ms");
    figure("send_run_unsub_added_cpu_ms_per_message",
           msPer(with.cpu, with.sent) - msPer(without.cpu, without.sent), "ms");
    removeScratch();
}

// A program folder with the standard database, empty, opened the way the program does.
void openEmptyDatabase(Opened& o, const QString& folder) {
    QDir(folder).removeRecursively();
    const QString error = DataGenerator::makeProgramFolder(folder, 0);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "Fehler: %s\n", qPrintable(error));
        std::exit(1);
    }
    o.state.setFolders(WorkingFolders::fromProgramFolder(folder, QString(), QDir::tempPath()));
    o.state.session.reloadCatalogue();
    if (!OpenDatabase(o.state.session, QStringLiteral("Database.ini"), o.messages)) {
        std::fprintf(stderr, "Datenbank kann nicht geöffnet werden\n");
        std::exit(1);
    }
    o.table = o.state.session.currentTable();
}

// Every target field in the column of its position in the generated files.
ImportOptions generatedFileOptions(const Opened& o) {
    ImportOptions options;
    const QStringList order = DataGenerator::targetFields();
    for (const FieldDefinition& f : o.state.session.definition().targetFields()) {
        options.fieldNames << f.name;
        options.columns << int(order.indexOf(f.name) + 1);
    }
    options.delimiter = QStringLiteral(";");
    return options;
}

// Answers the file dialog with one path.
class FixedPicker : public FilePicker {
public:
    explicit FixedPicker(const QString& path) : m_path(path) {}
    QString openFile(const QString&, const QString&, const QString&) override { return m_path; }
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
    QString folder(const QString&, const QString&) override { return {}; }

private:
    QString m_path;
};

void benchImportCsv(qint64 n) {
    const QString csv = QDir::tempPath() + QStringLiteral("/quillon-bench-import-%1.csv").arg(n);
    if (!QFile::exists(csv)) {
        std::fprintf(stderr, "Erzeuge %s ...\n", qPrintable(csv));
        const QString error = DataGenerator::writeCsv(csv + QStringLiteral(".part"), n);
        if (!error.isEmpty() || !QFile::rename(csv + QStringLiteral(".part"), csv)) {
            std::fprintf(stderr, "Fehler: %s\n", qPrintable(error));
            std::exit(1);
        }
    }
    figure("import_csv_file_size", double(QFileInfo(csv).size()) / 1e6, "MB");

    // The sqlite3 shell's .import of the same file into a table of the same columns.
    const QString shellDb = QDir::tempPath() + QStringLiteral("/quillon-bench-sqlite3.db");
    QFile::remove(shellDb);
    QStringList columns;
    for (const QString& f : DataGenerator::targetFields())
        columns << f + QStringLiteral(" TEXT");
    QProcess shell;
    shell.setProgram(QStringLiteral("sqlite3"));
    shell.setArguments({shellDb});
    const double shellSeconds = seconds([&] {
        shell.start();
        shell.waitForStarted();
        shell.write(QStringLiteral("CREATE TABLE records(%1);\n.mode csv\n.separator ;\n"
                                   ".import %2 records\n.quit\n")
                        .arg(columns.join(QStringLiteral(", ")), csv)
                        .toUtf8());
        shell.closeWriteChannel();
        shell.waitForFinished(-1);
    });
    if (shell.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3: %s\n", shell.readAllStandardError().constData());
        std::exit(1);
    }
    QFile::remove(shellDb);

    Opened o;
    openEmptyDatabase(o, QDir::tempPath() + QStringLiteral("/quillon-bench-import/"));
    const ImportOptions options = generatedFileOptions(o);
    qint64 imported = 0;
    bool ok = false;
    const double ours =
        seconds([&] { ok = ImportCVS(csv, options, o.table, o.messages, Progress(), &imported); });
    if (!ok || imported != n) {
        std::fprintf(stderr, "Import unvollständig: %lld\n", static_cast<long long>(imported));
        std::exit(1);
    }
    figure("import_csv", ours, "s");
    figure("import_csv_sqlite3_shell", shellSeconds, "s");
    figure("import_csv_ratio", ours / shellSeconds, "x");
    figure("import_csv_records", double(o.table->recordCount()), "records");
    figure("import_csv_peak_memory", peakMemoryMb(), "MB");
    // The indexes the import left for later: the first view ordered by Name makes one,
    // the rest are made together.
    std::vector<qint64> ids;
    figure("import_csv_first_sort_by_name",
           seconds([&] { o.table->store()->selectIds({}, QStringLiteral("Name"), &ids); }), "s");
    figure("import_csv_remaining_indexes", seconds([&] { o.table->store()->makePendingIndexes(); }),
           "s");

    // The import window's periodic check with a shown preview of 20 rows.
    TImportForm form(o.state);
    FixedPicker picker(csv);
    FilePicker::install(&picker);
    form.show();
    form.findChild<QPushButton*>(QStringLiteral("OpenBitBtn"))->click();
    for (const FieldDefinition& f : o.state.session.definition().targetFields())
        if (auto* box = form.findChild<QLineEdit*>(QStringLiteral("Edit_") + f.name))
            box->setText(QString::number(DataGenerator::targetFields().indexOf(f.name) + 1));
    form.findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    form.findChild<QComboBox*>(QStringLiteral("PreviewComboBox"))->setCurrentIndex(3);
    double worst = 0;
    double total = 0;
    const int ticks = 100;
    for (int i = 0; i < ticks; ++i) {
        const double s = seconds([&] { form.periodicCheck(); });
        worst = std::max(worst, s);
        total += s;
    }
    FilePicker::install(nullptr);
    figure("import_preview_tick_worst", worst * 1000, "ms");
    figure("import_preview_tick_mean", total / ticks * 1000, "ms");
    form.hide();
}

void benchImportDbf(qint64 n) {
    const QString dbf = QDir::tempPath() + QStringLiteral("/quillon-bench-import-%1.dbf").arg(n);
    if (!QFile::exists(dbf)) {
        std::fprintf(stderr, "Erzeuge %s ...\n", qPrintable(dbf));
        const QString error = DataGenerator::writeDbf(dbf, n);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "Fehler: %s\n", qPrintable(error));
            QFile::remove(dbf);
            std::exit(1);
        }
    }
    Opened o;
    openEmptyDatabase(o, QDir::tempPath() + QStringLiteral("/quillon-bench-import/"));
    const ImportOptions options = generatedFileOptions(o);
    qint64 imported = 0;
    bool ok = false;
    const double s = seconds(
        [&] { ok = ImportDataBase(dbf, options, o.table, o.messages, Progress(), &imported); });
    if (!ok || imported != n) {
        std::fprintf(stderr, "Import unvollständig: %lld\n", static_cast<long long>(imported));
        std::exit(1);
    }
    figure("import_dbf", s, "s");
    figure("import_dbf_records", double(imported), "records");
}

// The HTML send run: 10,000 marked records, delay 0, the shipped sample newsletter
// Quillon_Bsp4 (about 55 KB of HTML with three inline images of about 190 KB together),
// tracked links; against a Python loop that builds the same merged message with the
// email package and sends it with smtplib over one connection to the same counting sink.
const char* kHtmlSmtplibLoop = R"PY(
import email, email.policy, html as markup, json, re, smtplib, sys, time
from email.message import EmailMessage
from email.utils import formatdate, make_msgid
port, newsletter, records, stats = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
src = email.message_from_binary_file(open(newsletter, 'rb'), policy=email.policy.default)
plain = src.get_body(('plain',)).get_content()
html_part = src.get_body(('html',))
html = html_part.get_content()
images = [(p.get_content(), p.get_content_subtype(), p['Content-ID'], p.get_filename())
          for p in src.walk() if p.get_content_maintype() == 'image']
subject = str(src['Subject'])
rows = [json.loads(line) for line in open(records, encoding='utf-8')]
links = [re.compile('href="htt', re.I), re.compile("href='htt", re.I)]
def merge(text, r, escape=False):
    for key in ('$ANREDE', '$NAME', '$FIRMA', '$ORT', '$MAIL', '$DATUM'):
        text = text.replace(key, markup.escape(r[key]) if escape else r[key])
    return text
s = smtplib.SMTP('127.0.0.1', port)
start = time.perf_counter()
for r in rows:
    h = merge(html, r, True)
    h = links[0].sub('href="' + stats + '&url=htt', h)
    h = links[1].sub("href='" + stats + '&url=htt', h)
    m = EmailMessage()
    m['From'] = 'Firma GmbH <info@firma.de>'
    m['To'] = r['$MAIL']
    m['Subject'] = merge(subject, r)
    m['Date'] = formatdate(usegmt=True)
    m['Message-ID'] = make_msgid(domain='firma.de')
    m.set_content(merge(plain, r), cte='quoted-printable')
    m.add_alternative(h, subtype='html', cte='quoted-printable')
    related = m.get_payload()[1]
    for data, sub, cid, name in images:
        related.add_related(data, 'image', sub, cid=cid, filename=name)
    s.sendmail('info@firma.de', [r['$MAIL']], m.as_bytes(policy=email.policy.SMTP))
elapsed = time.perf_counter() - start
s.quit()
print(len(rows), elapsed)
)PY";

// The shipped sample newsletter, copied to path.
QString writeNewsletter(const QString& path) {
    QFile::remove(path);
    if (!QFile::copy(QStringLiteral(":/shipped/Vorlagen/Quillon_Bsp4.eml"), path)) {
        std::fprintf(stderr, "Die Beispiel-Newsletter fehlt im Programm.\n");
        std::exit(1);
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

MailTemplate loadedHtmlMail(const QString& path) {
    MimeMessage loaded;
    QString error;
    if (!loaded.loadMessageFile(path, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        std::exit(1);
    }
    MailTemplate mail;
    mail.mode = MailTemplate::Mode::Html;
    mail.messageFile = path;
    mail.subject = loaded.subjectText();
    mail.htmlBody = loaded.htmlText();
    mail.plainBody = loaded.plainText();
    return mail;
}

void benchHtmlSendRun(qint64 n) {
    const qint64 records = std::min<qint64>(n, 10000);
    SendBench bench(records);
    SmtpTestServer& sink = bench.sink;
    Opened& o = bench.o;
    QString error;
    const QString newsletter = writeNewsletter(o.state.folders.programFolder + "newsletter.eml");
    const MailTemplate mail = loadedHtmlMail(newsletter);
    const QString stats = QStringLiteral("https://stats.firma.de/nl/stats.php?nid=202612011200");

    // The records' values for the comparison loop, prepared before anything is timed.
    const QString jsonPath = o.state.folders.programFolder + "records.jsonl";
    {
        QFile out(jsonPath);
        out.open(QIODevice::WriteOnly);
        const MergeColumns columns = MergeColumns::forTable(*o.table);
        SalutationFormula formula(o.state.folders.programFolder + SalutationFormula::fileName());
        MergeRecordReader reader(columns, &formula);
        const int mailColumn = o.table->fieldIndex(QStringLiteral("Mail"));
        for (qint64 row = 0; row < o.table->recordCount(); ++row) {
            const QVariantList values = o.table->rowValues(row);
            const QString to = values.value(mailColumn).toString().trimmed();
            if (!IsValidEmailAddress(to))
                continue;
            const MergeRecord r = reader.read(values);
            QJsonObject line{{"$ANREDE", r.values[Merge::Anrede]},
                             {"$NAME", r.values[Merge::Name]},
                             {"$FIRMA", r.values[Merge::Firma]},
                             {"$ORT", r.values[Merge::Ort]},
                             {"$MAIL", to},
                             {"$DATUM", r.values[Merge::Datum]}};
            out.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + "\n");
        }
    }

    const InProcessRun run =
        runInProcess(o, mail, records, QStringLiteral("https://stats.firma.de/nl/"));
    const double ours = run.seconds;
    const double cpu = run.cpu;
    const double growth = run.growth;
    const qint64 sent = run.sent;
    const qint64 arrived = sink.acceptedCount();

    const auto [pySent, pySeconds] = runSmtplibLoop(
        kHtmlSmtplibLoop, {QString::number(sink.port()), newsletter, jsonPath, stats});
    const qint64 pyArrived = sink.acceptedCount() - arrived;

    figure("html_send_run_records", double(records), "records");
    figure("html_send_run_message_size", double(QFileInfo(newsletter).size()) / 1024.0, "KB");
    figure("html_send_run_sent", double(sent), "messages");
    figure("html_send_run_arrived", double(arrived), "messages");
    figure("html_send_run_seconds", ours, "s");
    figure("html_send_run_cpu", cpu, "s");
    figure("html_send_run_rate", double(sent) / ours, "messages/s");
    figure("html_smtplib_sent", pySent, "messages");
    figure("html_smtplib_arrived", double(pyArrived), "messages");
    figure("html_smtplib_rate", pySent / pySeconds, "messages/s");
    figure("html_send_run_ratio", (double(sent) / ours) / (pySent / pySeconds), "x");
    figure("html_send_run_peak_memory_growth", growth, "MB");
    removeScratch();
}

// Opening a newsletter to its shown preview: the private copy, the reading, both
// preview copies and the browser view's finished page. The first opening starts the
// browser engine; the second is the one a user sees after that.
void benchHtmlPreview(qint64) {
    QTemporaryDir folder;
    const QString newsletter = writeNewsletter(folder.filePath("newsletter.eml"));
    const QString systemTemp = folder.filePath("systemp/");
    HtmlView view;
    view.resize(800, 600);
    view.show();
    HtmlMailFile::PreviewCounter counter;
    auto openOnce = [&] {
        QElapsedTimer timer;
        timer.start();
        QString copy, error;
        HtmlMailFile::Opened opened;
        if (!HtmlMailFile::makePrivateCopy(newsletter, systemTemp, ".html", &copy, &error) ||
            !HtmlMailFile::openMessageFile(copy, "utf-8", systemTemp, &opened, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            std::exit(1);
        }
        QEventLoop shown;
        bool ok = false;
        const auto c = QObject::connect(&view, &HtmlView::loadFinished, &shown, [&](bool r) {
            ok = r;
            shown.quit();
        });
        view.showFile(
            QDir(systemTemp).filePath(HtmlMailFile::previewFileName(counter.next(), true)));
        shown.exec();
        QObject::disconnect(c);
        if (!ok) {
            std::fprintf(stderr, "Die Vorschau wurde nicht geladen.\n");
            std::exit(1);
        }
        return double(timer.nsecsElapsed()) / 1e9;
    };
    figure("html_preview_first", openOnce(), "s");
    figure("html_preview", openOnce(), "s");
    figure("html_preview_again", openOnce(), "s");
}

// The backup of every database against cp of the same files, side by side in one run.
void benchBackup(qint64 n) {
    Opened o;
    openDataSet(o, n);
    const QString data = o.state.folders.dataFolder;
    const QString out = QDir::tempPath() + QStringLiteral("/quillon-bench-backup/");
    QDir(out).removeRecursively();
    QDir().mkpath(out + QStringLiteral("cp"));
    QStringList files;
    for (const QString& name : Backup::dataFiles(data))
        files << data + name;
    files << o.state.session.cataloguePath();
    qint64 bytes = 0;
    for (const QString& f : files)
        bytes += QFileInfo(f).size();
    auto runCp = [&] {
        QProcess cp;
        cp.start(QStringLiteral("cp"), QStringList(files) << out + QStringLiteral("cp/"));
        cp.waitForFinished(-1);
        if (cp.exitCode() != 0) {
            std::fprintf(stderr, "cp ist fehlgeschlagen\n");
            std::exit(1);
        }
    };
    YesMessages yes;
    auto runBackup = [&] {
        if (!Backup::MakeBackup(o.state.session, out, QStringLiteral("quillon"), yes)) {
            std::fprintf(stderr, "Das Backup ist fehlgeschlagen\n");
            std::exit(1);
        }
    };
    // Both read from the page cache: one round of each first, then the measured round.
    runCp();
    runBackup();
    ::sync();
    const double cpSeconds = seconds(runCp);
    ::sync();
    const double backupSeconds = seconds(runBackup);
    ::sync();
    figure("backup_bytes", double(bytes) / 1e6, "MB");
    figure("backup_cp", cpSeconds, "s");
    figure("backup", backupSeconds, "s");
    figure("backup_ratio", backupSeconds / cpSeconds, "x");
    QDir(out).removeRecursively();
}

// The transfer of every record of the standard database into a new database with ten
// mapped free fields.
void benchTransfer(qint64 n) {
    Opened o;
    openScratch(o, n);
    QStringList captions;
    for (int i = 1; i <= 10; ++i)
        captions << QStringLiteral("Feld %1").arg(i);
    if (!CreateDatabase(o.state.session, QStringLiteral("Ziel"), captions, o.messages)) {
        std::fprintf(stderr, "Die Zieldatenbank kann nicht erzeugt werden\n");
        std::exit(1);
    }
    AddressTable* target = o.state.session.currentTable();
    const QStringList sourceFields = DataGenerator::targetFields().mid(4);
    QList<QPair<QString, QString>> mapping;
    for (int i = 0; i < 10 && i < sourceFields.size(); ++i)
        mapping.append({QStringLiteral("Spalte%1").arg(i + 1), sourceFields[i]});
    Transfer::Run run;
    QString error;
    qint64 copied = 0;
    qint64 unfit = 0;
    const double s = seconds([&] {
        if (run.open(o.state.folders.dataFolder, QStringLiteral("Database.ini"), false, &error))
            copied = run.copyInto(*target, mapping, {}, &unfit, &error);
        run.close();
    });
    if (copied != n) {
        std::fprintf(stderr, "Transfer fehlgeschlagen: %s\n", qPrintable(error));
        std::exit(1);
    }
    figure("transfer", s, "s");
    figure("transfer_rate", double(copied) / s, "records/s");
    CloseDatabase(o.state.session);
    removeScratch();
}

// Every field of the open table, titled by its name, as a grid that shows them all.
QList<ExportColumn> allColumns(const AddressTable& table) {
    QList<ExportColumn> columns;
    for (int i = 0; i < table.fieldCount(); ++i)
        columns << ExportColumn{i, table.fieldName(i)};
    return columns;
}

void exportFailed(const QString& error) {
    std::fprintf(stderr, "Fehler: %s\n", qPrintable(error));
    std::exit(1);
}

// The CSV window's defaults: every column, header line, values padded.
void benchExportCsv(qint64 n) {
    Opened o;
    openDataSet(o, n);
    const QString path = QDir::tempPath() + QStringLiteral("/quillon-bench-export.csv");
    CsvExportOptions options;
    for (int i = 0; i < o.table->fieldCount(); ++i)
        options.fields << i;
    QString error;
    bool ok = false;
    const double s = seconds([&] {
        ok = CsvExport::write(*o.table, o.state.session.definition(), options, path, {}, &error);
    });
    if (!ok)
        exportFailed(error);
    figure("export_csv", s, "s");
    figure("export_csv_file_size", double(QFileInfo(path).size()) / 1e6, "MB");
    QFile::remove(path);
}

void benchExportXlsx(qint64 n) {
    Opened o;
    openDataSet(o, n);
    const QString path = QDir::tempPath() + QStringLiteral("/quillon-bench-export.xlsx");
    QString error;
    bool ok = false;
    const double before = peakMemoryMb();
    const double s = seconds([&] {
        ok = SpreadsheetExport::write(SpreadsheetExport::Format::Xlsx, *o.table,
                                      allColumns(*o.table), path, {}, &error);
    });
    if (!ok)
        exportFailed(error);
    figure("export_xlsx", s, "s");
    figure("export_xlsx_memory_before", before, "MB");
    figure("export_xlsx_file_size", double(QFileInfo(path).size()) / 1e6, "MB");
    QFile::remove(path);
}

// An .xls holds 65,535 records: the first 65,000 of the data set, through a filter.
void benchExportXls(qint64 n) {
    Opened o;
    openDataSet(o, n);
    const qint64 records = std::min<qint64>(n, 65000);
    QString error;
    if (!o.table->setFilter(QStringLiteral("ID <= %1").arg(records), &error))
        exportFailed(error);
    o.table->setFiltered(true);
    const QString path = QDir::tempPath() + QStringLiteral("/quillon-bench-export.xls");
    bool ok = false;
    const double s = seconds([&] {
        ok = SpreadsheetExport::write(SpreadsheetExport::Format::Xls, *o.table,
                                      allColumns(*o.table), path, {}, &error);
    });
    if (!ok)
        exportFailed(error);
    figure("export_xls_records", double(o.table->recordCount()), "records");
    figure("export_xls", s, "s");
    figure("export_xls_file_size", double(QFileInfo(path).size()) / 1e6, "MB");
    QFile::remove(path);
}

const std::map<std::string, std::function<void(qint64)>>& benchmarks() {
    static const std::map<std::string, std::function<void(qint64)>> all = {
        {"create_fill", benchCreateFill},
        {"open_grid", benchOpenGrid},
        {"count_marked", benchCountMarked},
        {"mark_all", benchMarkAll},
        {"page_read", benchPageRead},
        {"filter_prefix", benchFilterPrefix},
        {"address_check", benchAddressCheck},
        {"duplicates", benchDuplicates},
        {"delete_marked", benchDeleteMarked},
        {"empty_database", benchEmptyDatabase},
        {"text_merge", benchTextMerge},
        {"html_merge", benchHtmlMerge},
        {"grid_scroll", benchGridScroll},
        {"mark_commands", benchMarkCommands},
        {"search", benchSearch},
        {"set_column", benchSetColumn},
        {"send_run", benchSendRun},
        {"send_run_cli", benchSendRunCli},
        {"send_run_dkim", benchSendRunDkim},
        {"send_run_unsub", benchSendRunUnsubscribe},
        {"bounces", benchBounces},
        {"import_csv", benchImportCsv},
        {"import_dbf", benchImportDbf},
        {"import_vcard", benchImportVcard},
        {"html_send_run", benchHtmlSendRun},
        {"html_preview", benchHtmlPreview},
        {"backup", benchBackup},
        {"transfer", benchTransfer},
        {"export_csv", benchExportCsv},
        {"export_xlsx", benchExportXlsx},
        {"export_xls", benchExportXls},
        {"web_sync", benchWebSyncOnScratch},
    };
    return all;
}

} // namespace

int main(int argc, char** argv) {
    SettleLocalTimeZone(); // as the program does at its start
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    // The browser views need their graphics context shared, and the engine's sandbox
    // needs a user namespace a measuring machine may not grant.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The browser views need their graphics context shared, and the engine's sandbox
    // needs a user namespace a measuring machine may not grant.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--list"))) {
        for (const auto& [name, fn] : benchmarks())
            std::printf("%s\n", name.c_str());
        std::printf("all\n");
        return 0;
    }
    if (args.size() < 2) {
        std::fprintf(stderr, "Aufruf: quillon-bench --list | quillon-bench NAME --records N\n");
        return 2;
    }
    qint64 n = 100000;
    const auto r = args.indexOf(QStringLiteral("--records"));
    if (r > 0 && r + 1 < args.size())
        n = args.at(r + 1).toLongLong();
    const std::string name = args.at(1).toStdString();
    if (name == "all") {
        for (const auto& [bench, fn] : benchmarks())
            fn(n);
    } else {
        const auto it = benchmarks().find(name);
        if (it == benchmarks().end()) {
            std::fprintf(stderr, "Unbekannter Benchmark: %s\n", name.c_str());
            return 2;
        }
        it->second(n);
    }
    figure("peak_memory", peakMemoryMb(), "MB");
    return 0;
}
