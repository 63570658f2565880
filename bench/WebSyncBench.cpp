#include "WebSyncBench.h"

#include "database/AddressTable.h"
#include "database/ColumnScan.h"
#include "settings/AccountSettings.h"
#include "support/PhpTestServer.h"
#include "web/WebHttp.h"
#include "web/WebSync.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void figure(const char* name, double value, const char* unit) {
    std::printf("%s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

QByteArray guard() {
    return "<?php\r\nerror_reporting(E_ERROR | E_PARSE);\r\ninclude(\"mailin_pw.php\");\r\n"
           "if(isset($_GET[\"password\"])){$act_pass = $_GET[\"password\"];} else { $act_pass = "
           "\"\"; }\r\nif (!hash_equals($my_pass, $act_pass)) { echo \"Access denied\"; Exit; "
           "}\r\n?>\r\n\r\r\n";
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

void benchWebSync(AddressTable* table) {
    const int count = 10000;
    TableStore& store = *table->store();
    const std::vector<qint64> all = store.tableIds();
    const QStringList mails = ColumnScan::texts(
        store, store.fieldIndex(QStringLiteral("Mail")),
        std::vector<qint64>(all.begin(), all.begin() + std::min<size_t>(all.size(), 200000)));
    QByteArray orders = guard();
    QByteArray cancellations = guard();
    for (int i = 0; i < count; ++i)
        orders += QStringLiteral("bestellt%1@neu-kunden.example.de|x|Frau|Newsletter|Erika_"
                                 "Muster|Ort=Bad_Hamm|PLZ=59063|ende\r\n")
                      .arg(i)
                      .toUtf8();
    int taken = 0;
    for (const QString& m : mails) {
        if (taken == count)
            break;
        if (!WebSync::isListEntryAddress(m.toLower()))
            continue;
        cancellations += m.toUtf8() + "|1\r\n";
        ++taken;
    }
    QTemporaryDir site;
    writeFile(site.filePath("mailin_pw.php"), "<?php $my_pass = \"Bench1\"; ?>\r\n\r\r\n");
    writeFile(site.filePath("email_list_in.php"), orders);
    writeFile(site.filePath("email_list_out.php"), cancellations);
    PhpTestServer php(site.path());
    if (!php.error().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(php.error()));
        return;
    }

    const ProxySettings noProxy;
    QElapsedTimer t;
    t.start();
    const WebHttp::Result in =
        WebHttp::get(WebSync::ordersAddress(php.baseUrl(), "Bench1"), noProxy);
    const WebHttp::Result out =
        WebHttp::get(WebSync::cancellationsAddress(php.baseUrl(), "Bench1"), noProxy);
    if (!in.ok || !out.ok) {
        std::fprintf(stderr, "%s%s\n", qPrintable(in.error), qPrintable(out.error));
        return;
    }
    const QStringList orderLines = WebSync::listLines(in.body);
    const QStringList cancelLines = WebSync::listLines(out.body);
    const double fetched = double(t.nsecsElapsed()) / 1e9;
    const WebSync::Analysis a = WebSync::analyse(orderLines, cancelLines, store);
    const double analysed = double(t.nsecsElapsed()) / 1e9;
    figure("web_sync_fetch", fetched, "s");
    figure("web_sync_fetch_and_analysis", analysed, "s");
    figure("web_sync_new_orders", double(a.newOrders), "lines");
    figure("web_sync_new_cancellations", double(a.newCancellations), "lines");

    const QStringList confirmed = WebSync::confirmedLines(a.newLines, a.checkEntries);
    t.restart();
    const WebSync::ApplyResult r = WebSync::apply(store, confirmed, false);
    figure("web_sync_apply", double(t.nsecsElapsed()) / 1e9, "s");
    if (!r.ok)
        std::fprintf(stderr, "%s\n", qPrintable(r.error));
    figure("web_sync_added", double(r.added), "records");
    figure("web_sync_deleted", double(r.cancelled), "records");
    figure("records_left", double(store.tableIds().size()), "records");
}
