#include "common/FilePicker.h"
#include "common/TextFile.h"
#include "send/forms/TErrorMailForm.h"
#include "send/forms/TLogForm.h"
#include "send/forms/TrafficChart.h"
#include "shell/AppState.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QAreaSeries>
#include <QChart>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// Answers every save dialog with the next scripted path and keeps what it was asked.
class ScriptedPicker : public FilePicker {
public:
    ScriptedPicker() { FilePicker::install(this); }
    ~ScriptedPicker() override { FilePicker::install(nullptr); }
    QString openFile(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFile(const QString&, const QString& start, const QString& filter) override {
        starts << start;
        filters << filter;
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QString folder(const QString&, const QString&) override { return {}; }
    QStringList answers;
    QStringList starts;
    QStringList filters;
};

void click(QWidget* form, const char* name) {
    auto* button = form->findChild<QPushButton*>(QString::fromLatin1(name));
    ASSERT_NE(button, nullptr) << name;
    button->click();
}

} // namespace

TEST(TErrorMailForm, ShowsTheListAndSavesIt) {
    TempProgramFolder folder;
    TErrorMailForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("ungültige E-Mail-Adressen"));
    ASSERT_NE(form.findChild<QLabel*>("Label1"), nullptr);
    EXPECT_EQ(form.findChild<QLabel*>("Label1")->text(),
              QStringLiteral("ungültige E-Mail-Adressen:"));
    auto* memo = form.findChild<QPlainTextEdit*>("Memo1");
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(form.findChild<QPushButton*>("CloseButton")->text(), QStringLiteral("Schließen"));

    // showList fills the memo and shows the window modally.
    QTimer::singleShot(0, &form, [&] { click(&form, "CloseButton"); });
    form.showList({"2: kein-at.example.org", "7: müller@"});
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("2: kein-at.example.org\n7: müller@"));

    ScriptedPicker picker;
    form.setSaveFolder(folder.path());
    const QString target = folder.file("liste.txt");
    picker.answers << target;
    click(&form, "SaveButton");
    EXPECT_EQ(picker.starts.value(0), folder.path() + "untitled.txt");
    EXPECT_EQ(picker.filters.value(0), QStringLiteral("Textdatei (.txt) (*.txt)"));
    EXPECT_EQ(readBytes(target), QByteArray("2: kein-at.example.org\r\n7: m\xFCller@\r\n"));

    // A name without extension gets ".txt"; an existing file of that name is asked about.
    {
        ScriptedMessages messages;
        messages.expectDestructiveQuestion("Die Datei " + QDir::toNativeSeparators(target) +
                                               " existiert bereits.\rMöchten Sie sie ersetzen?",
                                           false);
        TextFile::writeLines(target, {"alt"});
        picker.answers << folder.file("liste");
        EXPECT_FALSE(form.save());
        EXPECT_EQ(TextFile::readLines(target), QStringList{"alt"});
    }
    picker.answers << folder.file("neu");
    EXPECT_TRUE(form.save());
    EXPECT_EQ(TextFile::readLines(folder.file("neu.txt")).size(), 2);
    // Cancelled: nothing written.
    EXPECT_FALSE(form.save());
}

TEST(TErrorMailForm, PrintsHeaderRuleAndLines) {
    TempProgramFolder folder;
    TErrorMailForm form;
    form.setLines({"3: falsch", "9: auch falsch"});
    const QStringList lines = form.printLines();
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "Quillon: " + QDate::currentDate().toString("dd.MM.yyyy"));
    EXPECT_EQ(lines[1], QString(77, QChar('-')));
    EXPECT_EQ(lines[2], QStringLiteral(" "));
    EXPECT_EQ(lines[3], QStringLiteral("3: falsch"));

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = folder.file("druck.pdf");
    printer.setOutputFileName(pdf);
    form.setPrinter(&printer);
    click(&form, "PrintButton");
    const QByteArray bytes = readBytes(pdf);
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_GT(bytes.size(), 500);
}

TEST(TLogForm, ShowsTheLogOfSentAddresses) {
    TempProgramFolder folder;
    AppState state;
    state.setFolders(WorkingFolders::fromProgramFolder(folder.path(), QString(), QDir::tempPath()));
    TLogForm form(state);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Zuletzt versendete Emails"));
    EXPECT_EQ(form.findChild<QLabel*>("Label1")->text(),
              QStringLiteral("Zuletzt/bereits versendete E-Mails"));
    auto* memo = form.findChild<QPlainTextEdit*>("Memo1");
    ASSERT_NE(memo, nullptr);

    // No log yet: empty.
    form.setLines({"vorher"});
    QTimer::singleShot(0, &form, [&] { click(&form, "CloseButton"); });
    form.exec();
    EXPECT_TRUE(memo->toPlainText().isEmpty());

    // Read again at every opening.
    QDir().mkpath(state.folders.tempFolder);
    TextFile::writeLines(state.folders.tempFolder + "Gesendete_Mails.log",
                         {"a@example.org", "jürgen@example.org"});
    QTimer::singleShot(0, &form, [&] { click(&form, "CloseButton"); });
    EXPECT_EQ(form.exec(), int(QDialog::Accepted));
    EXPECT_EQ(form.lines(), QStringList({"a@example.org", "jürgen@example.org"}));

    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder.file("log.pdf"));
    form.setPrinter(&printer);
    EXPECT_TRUE(form.print());
    EXPECT_GT(QFileInfo(folder.file("log.pdf")).size(), 0);
}

TEST(TrafficChart, OneAreaSeriesWithAPointPerTick) {
    TrafficChart chart;
    EXPECT_EQ(chart.objectName(), QStringLiteral("Chart2"));
    EXPECT_EQ(chart.chart()->title(), QStringLiteral("Traffic (KB/sec)"));
    ASSERT_EQ(chart.chart()->series().size(), 1);
    EXPECT_EQ(chart.chart()->series()[0]->name(), QStringLiteral("Traffic"));
    EXPECT_EQ(chart.pointCount(), 1);
    EXPECT_EQ(chart.lastPoint(), QPointF(0, 0));
    chart.addPoint(1, 2);
    chart.addPoint(2, 350);
    EXPECT_EQ(chart.pointCount(), 3);
    EXPECT_EQ(chart.lastPoint(), QPointF(2, 350));
    // A long run keeps a bounded number of points.
    for (int tick = 3; tick < 5000; ++tick)
        chart.addPoint(tick, 1);
    EXPECT_LE(chart.pointCount(), 120);
    EXPECT_EQ(chart.lastPoint(), QPointF(4999, 1));
    chart.reset();
    EXPECT_EQ(chart.pointCount(), 1);
}

#if defined(__GLIBC__)
// The composer makes a chart on every opening: none may stay behind when it closes.
TEST(TrafficChart, OpeningAndClosingLeavesNoChartBehind) {
    auto openAndClose = [] {
        TrafficChart chart;
        chart.addPoint(1, 5);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    for (int i = 0; i < 10; ++i)
        openAndClose(); // fonts, styles and caches settle first
    const size_t before = mallinfo2().uordblks;
    for (int i = 0; i < 200; ++i)
        openAndClose();
    const size_t after = mallinfo2().uordblks;
    const size_t grown = after > before ? after - before : 0;
    EXPECT_LT(grown, size_t(200) * 1024) << "the heap grew by " << grown << " bytes";
}
#else
TEST(TrafficChart, OpeningAndClosingLeavesNoChartBehind) {
    GTEST_SKIP() << "the heap is measured with glibc's mallinfo2";
}
#endif
