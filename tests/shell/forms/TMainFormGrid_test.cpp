#include "compose/forms/CompositionWizard.h"
#include "shell/forms/MainFormTestSupport.h"
#include "shell/forms/TMainForm.h"

#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "database/DatabaseDefinition.h"
#include "shell/Startup.h"
#include "shell/forms/AddressGridModel.h"
#include "shell/forms/TDoIDForm.h"
#include "shell/forms/TFilter2Form.h"
#include "shell/forms/TFilterForm.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedMessages.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Mail, Name and Ort of IDs 1 to 10 in this order.
const std::vector<std::vector<const char*>> people = {
    {"anna@example.de", "Maier", "Köln"},     {"maier.bernd@example.de", "Schulz", "Aachen"},
    {"sean@example.ie", "O'Brien", "Dublin"}, {"dora@example.de", "Dorn", "Bonn"},
    {"emil@example.de", "Ernst", "Zwickau"},  {"frida@example.de", "Fuchs", "Essen"},
    {"gustav@example.de", "Gans", "Gera"},    {"hanna@example.de", "Hahn", "Hamm"},
    {"ida@example.de", "Igel", "Ingolstadt"}, {"jonas@example.de", "Jung", "Jena"},
};

// The main window over the standard database holding the ten people, in its own program
// folder, home folder and settings store.
class MainGridTest : public MainWindowTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(
            layOutFilledStandardDatabase(m_program.path(), {"Mail", "Name", "Ort"}, people));
    }

    TMainForm& createForm() { return MainWindowTest::createForm(true); }
    AddressTable* table() const { return m_form->state().session.currentTable(); }
    QTableView* grid() const { return m_form->grid(); }
    int column(const char* field) const {
        return m_form->gridModel()->columnOfField(QLatin1String(field));
    }
    QModelIndex cell(int row, const char* field) const {
        return m_form->gridModel()->index(row, column(field));
    }

    // IDs of the whole table whose flag is set, read through a second cursor-free query.
    QList<qint64> idsWith(const char* flag) const {
        QList<qint64> ids;
        const int f = table()->fieldIndex(QLatin1String(flag));
        const int id = table()->fieldIndex(QStringLiteral("ID"));
        for (qint64 rowId : table()->tableIds()) {
            const QVariantList v = table()->recordValues(rowId);
            if (v.at(f).toBool())
                ids << v.at(id).toLongLong();
        }
        return ids;
    }

    void clickCell(const QModelIndex& index, bool twice) {
        const QPoint at = grid()->visualRect(index).center();
        // A real double click: press and release, then the double click.
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, at);
        if (twice)
            QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, at);
    }
    void clickTitle(const char* field) {
        QHeaderView* header = grid()->horizontalHeader();
        const int section = column(field);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + 4, 4));
    }
};

} // namespace

TEST_F(MainGridTest, DoubleClickSpaceAndWheelInTheGrid) {
    ScriptedMessages messages;
    TMainForm& form = createForm();
    ASSERT_NE(table(), nullptr);
    EXPECT_EQ(statusText(), u("10 Datensätze"));

    // Boolean columns of the .pro lines are drawn as pictures, others as text.
    EXPECT_TRUE(form.gridModel()->isPictureColumn(column("Selected")));
    EXPECT_TRUE(form.gridModel()->isPictureColumn(column("Invalid")));
    EXPECT_FALSE(form.gridModel()->isPictureColumn(column("Mail")));

    // Double click marks, a second double click unmarks; both are posted at once.
    clickCell(cell(2, "Selected"), true);
    EXPECT_EQ(idsWith("Selected"), QList<qint64>({3}));
    EXPECT_EQ(cell(2, "Selected").data().toString(), QStringLiteral("True"));
    clickCell(cell(2, "Selected"), true);
    EXPECT_EQ(idsWith("Selected"), QList<qint64>());

    // Space does the same on the focused cell, for Invalid too.
    grid()->setCurrentIndex(cell(4, "Invalid"));
    QTest::keyClick(grid(), Qt::Key_Space);
    EXPECT_EQ(idsWith("Invalid"), QList<qint64>({5}));
    grid()->setCurrentIndex(cell(6, "Selected"));
    QTest::keyClick(grid(), Qt::Key_Space);
    grid()->setCurrentIndex(cell(7, "Selected"));
    QTest::keyClick(grid(), Qt::Key_Space);
    EXPECT_EQ(idsWith("Selected"), QList<qint64>({7, 8}));

    // In the view mode of the marked records, unmarking one takes it out of the view and
    // the count follows.
    auto* viewMode = child<QComboBox>("ComboBox1");
    viewMode->setCurrentIndex(0);
    QTest::keyClick(viewMode, Qt::Key_Down); // "Markierte"
    EXPECT_EQ(viewMode->currentText(), QStringLiteral("Markierte"));
    EXPECT_EQ(statusText(), u("2 Datensätze"));
    clickCell(cell(0, "Selected"), true);
    EXPECT_EQ(statusText(), u("1 Datensatz"));
    EXPECT_EQ(form.gridModel()->rowCount(), 1);
    EXPECT_EQ(table()->asString(QStringLiteral("ID")), QStringLiteral("8"));

    // Back to all records: each wheel notch moves one record.
    QTest::keyClick(viewMode, Qt::Key_Up);
    EXPECT_EQ(statusText(), u("10 Datensätze"));
    grid()->setCurrentIndex(cell(3, "Mail"));
    const QPoint at = grid()->visualRect(cell(3, "Mail")).center();
    QWheelEvent towardsUser(at, grid()->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -240),
                            Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid()->viewport(), &towardsUser);
    EXPECT_EQ(table()->recNo(), 5);
    QWheelEvent away(at, grid()->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid()->viewport(), &away);
    EXPECT_EQ(table()->recNo(), 4);
    EXPECT_EQ(grid()->currentIndex().row(), 4);

    // Ctrl+Del deletes nothing while cells are read-only; in grid edit mode it asks first.
    QTest::keyClick(grid(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(table()->recordCount(), 10);
    child<QAction>("BearbeitenimGrid1")->trigger();
    messages.expectDestructiveQuestion(u("Datensatz löschen?"), false);
    QTest::keyClick(grid(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(table()->recordCount(), 10);
    messages.expectDestructiveQuestion(u("Datensatz löschen?"), true);
    QTest::keyClick(grid(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(table()->recordCount(), 9);
    EXPECT_EQ(statusText(), u("9 Datensätze"));
    EXPECT_TRUE(messages.allShown());
}

TEST_F(MainGridTest, MarkingCommandsThroughTheirControlsAndDialogs) {
    ScriptedMessages messages;
    TMainForm& form = createForm();
    QStringList progressTexts;
    QObject::connect(form.statusBar(), &QStatusBar::messageChanged,
                     [&](const QString& text) { progressTexts << text; });

    // Mark all marks the current view only.
    auto* viewMode = child<QComboBox>("ComboBox1");
    table()->setFilter(QStringLiteral("Ort >= 'H'"));
    table()->setFiltered(true);
    QTest::mouseClick(child<QToolButton>("SelectAllTB"), Qt::LeftButton);
    EXPECT_EQ(idsWith("Selected"), QList<qint64>({1, 5, 8, 9, 10}));
    EXPECT_EQ(progressTexts, QStringList({u("Markieren: 5 von 5"), QString()}));
    EXPECT_TRUE(table()->filtered());

    // Unmark all asks; "Nein" changes nothing, "Ja" clears every record and the filter.
    messages.expectDestructiveQuestion(u("Alle markierten Datensätze unmarkieren?"), false);
    QTest::mouseClick(child<QToolButton>("UnselectAllTB"), Qt::LeftButton);
    EXPECT_EQ(idsWith("Selected").size(), 5);
    viewMode->setCurrentIndex(2); // shown, not applied: the command resets the box
    messages.expectDestructiveQuestion(u("Alle markierten Datensätze unmarkieren?"), true);
    QTest::mouseClick(child<QToolButton>("UnselectAllTB"), Qt::LeftButton);
    EXPECT_EQ(idsWith("Selected"), QList<qint64>());
    EXPECT_FALSE(table()->filtered());
    EXPECT_EQ(table()->filter(), QString());
    EXPECT_EQ(viewMode->currentIndex(), 0);
    EXPECT_EQ(statusText(), u("10 Datensätze"));

    // ID range 5 to 7 (blanks allowed) marks exactly those.
    whenDialogShows([](QWidget* dialog) {
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Markieren von ID bis ID"));
        EXPECT_EQ(child<QLabel>(dialog, "DoLabel")->text(), QStringLiteral("Markieren"));
        auto* start = child<QLineEdit>(dialog, "StartIDEdit");
        EXPECT_EQ(start->maxLength(), 11);
        QTest::keyClicks(start, QStringLiteral(" 5"));
        QTest::keyClicks(child<QLineEdit>(dialog, "EndIDEdit"),
                         QStringLiteral("7x")); // the letter is refused
        QTest::mouseClick(child<QPushButton>(dialog, "OKButton"), Qt::LeftButton);
    });
    progressTexts.clear();
    child<QAction>("MarkierenvonIDbisID1")->trigger();
    EXPECT_EQ(idsWith("Selected"), QList<qint64>({5, 6, 7}));
    EXPECT_EQ(progressTexts.last(), QString());
    EXPECT_TRUE(progressTexts.contains(u("Record: 10 von 10")));

    // An empty field is reported and marks nothing.
    whenDialogShows([](QWidget* dialog) {
        auto* end = child<QLineEdit>(dialog, "EndIDEdit");
        end->clear();
        QTest::mouseClick(child<QPushButton>(dialog, "OKButton"), Qt::LeftButton);
    });
    messages.expectInformation(u("Bitte geben Sie eine End ID ein!"));
    table()->setFilter(QStringLiteral("Selected='False'"));
    table()->setFiltered(true);
    child<QAction>("MarkierenvonIDbisID1")->trigger();
    EXPECT_EQ(idsWith("Selected"), QList<qint64>({5, 6, 7}));
    EXPECT_TRUE(table()->filtered());
    table()->setFiltered(false);

    // Mark by text: upper case matches any case in any column, Mail included; an
    // apostrophe is text like any other. Enter marks, the dialog stays open.
    whenDialogShows([this](QWidget* dialog) {
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Filter"));
        EXPECT_TRUE(child<QPushButton>(dialog, "Button1")->isEnabled());
        auto* edit = child<QLineEdit>(dialog, "Edit1");
        table()->last();
        QTest::keyClicks(edit, QStringLiteral("MAIER"));
        EXPECT_EQ(table()->recNo(), 0); // every change goes back to the first record
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_TRUE(dialog->isVisible());
        edit->setText(u("o'brien"));
        QTest::mouseClick(child<QPushButton>(dialog, "OKButton"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(dialog, "AbortButton"), Qt::LeftButton);
    });
    child<QToolButton>("ToolButton1")->click();
    EXPECT_EQ(idsWith("Selected"), QList<qint64>({1, 2, 3, 5, 6, 7}));

    // "Alle unmarkieren" of that dialog runs Unmark all with its question.
    messages.expectDestructiveQuestion(u("Alle markierten Datensätze unmarkieren?"), true);
    whenDialogShows([](QWidget* dialog) {
        QTest::mouseClick(child<QPushButton>(dialog, "BitBtn1"), Qt::LeftButton);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    child<QAction>("MarkierenallerDatenstzemitbestimmtenWortlaut1")->trigger();
    EXPECT_EQ(idsWith("Selected"), QList<qint64>());

    // "markierte löschen" deletes the marked records after its question.
    table()->updateRecords(table()->tableIds(table()->conditionFieldBetween("ID", 9, 10)),
                           {{QStringLiteral("Selected"), true}});
    const qint64 before = table()->recordCount();
    messages.expectDestructiveQuestion(u("Wollen Sie wirklich alle markierten Datensätze löschen?"),
                                       true);
    whenDialogShows([](QWidget* dialog) {
        QTest::mouseClick(child<QPushButton>(dialog, "Button1"), Qt::LeftButton);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    child<QAction>("MarkierenallerDatenstzemitbestimmtenWortlaut1")->trigger();
    EXPECT_EQ(table()->recordCount(), before - 2);
    EXPECT_TRUE(table()->tableIds(table()->conditionFieldBetween("ID", 9, 10)).empty());

    // Reset invalid asks with its own text and clears the filter.
    table()->edit();
    table()->setBool(QStringLiteral("Invalid"), true);
    ASSERT_TRUE(table()->post());
    table()->setFilter(QStringLiteral("Invalid='True'"));
    table()->setFiltered(true);
    messages.expectDestructiveQuestion(
        u("Alle als \"Invaild\" markierten Datensätze als gültig zurücksetzen?"), true);
    child<QAction>("AlleInvalidzurcksetzen1")->trigger();
    EXPECT_EQ(idsWith("Invalid"), QList<qint64>());
    EXPECT_FALSE(table()->filtered());
    EXPECT_EQ(statusText(), u("8 Datensätze"));
    EXPECT_TRUE(messages.allShown());
}

TEST_F(MainGridTest, ViewModesAndFilterButton) {
    ScriptedMessages messages;
    createForm();
    auto* viewMode = child<QComboBox>("ComboBox1");
    auto* filterBtn = child<QToolButton>("FilterBtn");
    // Opening fills the box from the .fil lines and applies nothing.
    EXPECT_EQ(viewMode->count(), 5);
    EXPECT_EQ(viewMode->maxVisibleItems(), 30);
    EXPECT_EQ(viewMode->currentText(), QStringLiteral("Alle"));
    EXPECT_FALSE(table()->filtered());

    clickCell(cell(0, "Selected"), true);
    QTest::keyClick(viewMode, Qt::Key_Down);
    QTest::keyClick(viewMode, Qt::Key_Down); // "Nicht markierte"
    EXPECT_TRUE(table()->filtered());
    EXPECT_EQ(table()->filter(), QStringLiteral("Selected='False'"));
    EXPECT_EQ(statusText(), u("9 Datensätze"));

    // A .fil line that is only a caption shows every record.
    QTest::keyClick(viewMode, Qt::Key_Home);
    EXPECT_EQ(statusText(), u("10 Datensätze"));

    // FilterBtn and F9 without an expression in the filter dialog.
    EXPECT_EQ(filterBtn->toolTip(), u("Gewählten Filter einschalten (F9)"));
    messages
        .expectInformation(u("Achtung Sie haben noch keinen Filter eigestellt! Öffnen Sie "
                             "zuerst die Filtereinstellungen."))
        .expectInformation(u("Achtung Sie haben noch keinen Filter eigestellt! Öffnen Sie "
                             "zuerst die Filtereinstellungen."));
    QTest::mouseClick(filterBtn, Qt::LeftButton);
    QTest::keyClick(grid(), Qt::Key_F9);
    EXPECT_FALSE(m_form->filterButtonOn());
    EXPECT_TRUE(messages.allShown());

    // With the filter dialog's expression (an apostrophe in the value): on, then F9 off.
    auto* expression =
        m_form->filterForm()->findChild<QLineEdit*>(QStringLiteral("ExpressionEdit"));
    ASSERT_NE(expression, nullptr);
    expression->setText(QStringLiteral("Name = 'O''Brien' OR Ort = 'Bonn'"));
    QTest::keyClick(viewMode, Qt::Key_Down); // "Markierte", replaced by the button's filter
    QTest::mouseClick(filterBtn, Qt::LeftButton);
    EXPECT_TRUE(m_form->filterButtonOn());
    EXPECT_EQ(filterBtn->toolTip(), u("Gewählten Filter ausschalten (F9)"));
    EXPECT_EQ(statusText(), u("2 Datensätze"));
    EXPECT_EQ(viewMode->currentIndex(), 0);
    QTest::keyClick(grid(), Qt::Key_F9);
    EXPECT_FALSE(m_form->filterButtonOn());
    EXPECT_EQ(filterBtn->toolTip(), u("Gewählten Filter einschalten (F9)"));
    EXPECT_FALSE(table()->filtered());
    EXPECT_EQ(table()->filter(), QString());
    EXPECT_EQ(statusText(), u("10 Datensätze"));

    // An expression the engine refuses is reported and leaves the button off.
    expression->setText(QStringLiteral("Gibtsnicht = 'x'"));
    messages.expectAnyError();
    QTest::mouseClick(filterBtn, Qt::LeftButton);
    EXPECT_FALSE(m_form->filterButtonOn());
    EXPECT_EQ(statusText(), u("10 Datensätze"));
    EXPECT_TRUE(messages.allShown());
}

TEST_F(MainGridTest, DialogsOpenFromGridButtonsAndKeys) {
    ScriptedMessages messages;
    TMainForm& form = createForm();
    QStringList opened;
    auto closeWith = [&](const char* button) {
        whenDialogShows([&opened, button](QWidget* dialog) {
            ASSERT_NE(dialog, nullptr);
            opened << dialog->objectName();
            QTest::mouseClick(dialog->findChild<QPushButton*>(QLatin1String(button)),
                              Qt::LeftButton);
        });
    };

    // A double click on an ordinary cell opens the record editor for that record.
    closeWith("AbortSpeedButton");
    clickCell(cell(3, "Mail"), true);
    EXPECT_EQ(form.recordEditor()->mode(), TEdForm::Mode::Edit);
    EXPECT_EQ(table()->recNo(), 3);
    closeWith("AbortSpeedButton");
    QTest::mouseClick(child<QPushButton>("NewBitBtn"), Qt::LeftButton);
    EXPECT_EQ(form.recordEditor()->mode(), TEdForm::Mode::New);
    EXPECT_EQ(table()->recordCount(), 10); // cancelled: no new record
    closeWith("AbortSpeedButton");
    QTest::mouseClick(child<QPushButton>("DeleteBitBtn"), Qt::LeftButton);
    EXPECT_EQ(form.recordEditor()->mode(), TEdForm::Mode::Delete);

    // SearchTB starts at the first record; Ctrl+F opens the same dialog.
    table()->last();
    closeWith("BitBtn1");
    QTest::mouseClick(child<QToolButton>("SearchTB"), Qt::LeftButton);
    EXPECT_EQ(table()->recNo(), 0);
    closeWith("BitBtn1");
    QTest::keyClick(grid(), Qt::Key_F, Qt::ControlModifier);

    // The filter dialog's own "Filter an" sets FilterBtn and the count.
    whenDialogShows([&opened](QWidget* dialog) {
        opened << dialog->objectName();
        child<QLineEdit>(dialog, "ExpressionEdit")->setText(QStringLiteral("Ort = 'B*'"));
        QTest::mouseClick(child<QPushButton>(dialog, "OnBitBtn"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(dialog, "CloseButton"), Qt::LeftButton);
    });
    QTest::mouseClick(child<QToolButton>("ToolButton2"), Qt::LeftButton);
    EXPECT_TRUE(form.filterButtonOn());
    EXPECT_EQ(statusText(), u("1 Datensatz"));

    closeWith("btnCancel");
    child<QAction>("Spalteninhaltlschensetzen1")->trigger();
    EXPECT_EQ(opened, QStringList({"EdForm", "EdForm", "EdForm", "KRT_DB_SearchForm",
                                   "KRT_DB_SearchForm", "FilterForm", "DeleteColumnForm"}));
    EXPECT_TRUE(messages.allShown());
}

TEST_F(MainGridTest, TitleClickSortsAndSecondClickReturnsToPrimaryOrder) {
    ScriptedMessages messages;
    TMainForm& form = createForm();
    AddressGridModel* model = form.gridModel();
    const int ort = column("Ort");
    auto titleIsRed = [&](int section) {
        return model->headerData(section, Qt::Horizontal, Qt::ForegroundRole)
                   .value<QBrush>()
                   .color() == QColor(Qt::red);
    };
    auto titleIsBold = [&](int section) {
        const QVariant font = model->headerData(section, Qt::Horizontal, Qt::FontRole);
        return font.isValid() && font.value<QFont>().bold();
    };

    table()->moveTo(4); // Zwickau
    clickTitle("Ort");
    EXPECT_EQ(table()->indexName(), QStringLiteral("Ort"));
    EXPECT_TRUE(titleIsRed(ort));
    EXPECT_TRUE(titleIsBold(ort));
    EXPECT_EQ(cell(0, "Ort").data().toString(), QStringLiteral("Aachen"));
    EXPECT_EQ(cell(9, "Ort").data().toString(), QStringLiteral("Zwickau"));
    EXPECT_EQ(table()->asString(QStringLiteral("Ort")), QStringLiteral("Zwickau"));
    EXPECT_EQ(grid()->currentIndex().row(), 9);

    // Another sortable title takes over the red.
    clickTitle("Name");
    EXPECT_FALSE(titleIsRed(ort));
    EXPECT_TRUE(titleIsRed(column("Name")));
    EXPECT_EQ(cell(0, "Name").data().toString(), QStringLiteral("Dorn"));
    clickTitle("Ort");
    // Second click: primary-key order, every title plain black.
    clickTitle("Ort");
    EXPECT_EQ(table()->indexName(), QString());
    EXPECT_FALSE(titleIsRed(ort));
    EXPECT_FALSE(titleIsBold(ort));
    EXPECT_EQ(cell(0, "Ort").data().toString(), u("Köln"));

    // A column without a sortable definition ignores the click.
    clickTitle("Anrede");
    EXPECT_EQ(table()->indexName(), QString());
    EXPECT_FALSE(titleIsRed(column("Anrede")));

    // Sorting works inside a view mode too.
    auto* viewMode = child<QComboBox>("ComboBox1");
    viewMode->setCurrentIndex(1);
    QTest::keyClick(viewMode, Qt::Key_Down); // "Nicht markierte"
    clickTitle("Ort");
    EXPECT_EQ(cell(0, "Ort").data().toString(), QStringLiteral("Aachen"));
    EXPECT_EQ(statusText(), u("10 Datensätze"));
}

TEST_F(MainGridTest, GridLayoutIsSavedAtShutdownAndSmallFilesAreIgnored) {
    ScriptedMessages messages;
    const QString grd = dataFolder() + QStringLiteral("Database.grd");
    // 80 bytes: ignored, every column shows with its caption.
    TextFile::writeLines(grd, {QString(78, QChar('x'))});
    ASSERT_EQ(QFileInfo(grd).size(), 80);
    {
        TMainForm& form = createForm();
        EXPECT_EQ(form.gridModel()->columnCount(), table()->fieldCount());
        EXPECT_EQ(form.gridModel()->headerData(4, Qt::Horizontal).toString(),
                  QStringLiteral("E-Mail"));

        // Move Ort to the front, widen Mail, sort by Ort; then leave the program.
        QHeaderView* header = grid()->horizontalHeader();
        header->moveSection(header->visualIndex(column("Ort")), 0);
        header->resizeSection(column("Mail"), 333);
        clickTitle("Ort");
        EXPECT_EQ(table()->indexName(), QStringLiteral("Ort"));
        child<QAction>("Beenden1")->trigger();
        EXPECT_FALSE(form.isVisible());
    }
    ASSERT_GT(QFileInfo(grd).size(), 100);
    QStringList lines;
    ASSERT_TRUE(TextFile::readLines(grd, &lines));
    // Titles are saved plain, whatever the sort showed.
    EXPECT_TRUE(lines.at(1).startsWith(QStringLiteral("Ort\tOrt\t")));
    EXPECT_TRUE(lines.at(1).contains(QStringLiteral("\t0\t")));
    m_form.reset();

    TMainForm& form = createForm();
    EXPECT_EQ(form.gridModel()->fieldNameAt(0), QStringLiteral("Ort"));
    EXPECT_EQ(form.gridModel()->fieldNameAt(1), QStringLiteral("ID"));
    EXPECT_EQ(grid()->horizontalHeader()->sectionSize(column("Mail")), 333);
    EXPECT_EQ(form.gridModel()->headerData(column("Mail"), Qt::Horizontal).toString(),
              QStringLiteral("E-Mail"));
    // Opened in primary order: no red title.
    EXPECT_FALSE(form.gridModel()->isTitleMarked(0));
}

TEST_F(MainGridTest, GridEditModeEditsCellsAndRefusesUnconvertibleValues) {
    ScriptedMessages messages;
    TMainForm& form = createForm();
    // Read-only while the mode is off.
    EXPECT_FALSE(form.gridModel()->flags(cell(0, "Name")) & Qt::ItemIsEditable);
    child<QAction>("BearbeitenimGrid1")->trigger();
    EXPECT_TRUE(child<QAction>("BearbeitenimGrid1")->isChecked());
    EXPECT_EQ(grid()->palette().color(QPalette::Text), QColor(Qt::blue));
    EXPECT_FALSE(form.gridModel()->flags(cell(0, "ID")) & Qt::ItemIsEditable);

    auto typeInto = [&](const QModelIndex& index, const QString& text) {
        grid()->setCurrentIndex(index);
        grid()->edit(index);
        // The editor of an earlier edit may still wait for its deletion, hidden.
        QLineEdit* editor = nullptr;
        for (auto* e : grid()->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible())
                editor = e;
        ASSERT_NE(editor, nullptr);
        editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents(); // the delegate commits through a queued call
    };

    typeInto(cell(1, "Name"), QStringLiteral("Schultze"));
    EXPECT_EQ(table()->recordValues(2).at(table()->fieldIndex(QStringLiteral("Name"))).toString(),
              QStringLiteral("Schultze"));
    EXPECT_EQ(table()->state(), AddressTable::State::Browse);

    // A date the engine cannot read is reported and not stored.
    messages.expectError(u("\"kein Datum\" ist kein gültiges Datum für das Feld \"LetztesMail\"."));
    typeInto(cell(1, "LetztesMail"), QStringLiteral("kein Datum"));
    EXPECT_TRUE(messages.allShown());
    EXPECT_EQ(table()->state(), AddressTable::State::Browse);
    EXPECT_TRUE(
        table()->recordValues(2).at(table()->fieldIndex(QStringLiteral("LetztesMail"))).isNull());
    EXPECT_EQ(cell(1, "LetztesMail").data().toString(), QString());

    // Space edits in this mode instead of toggling.
    grid()->setCurrentIndex(cell(0, "Selected"));
    QTest::keyClick(grid(), Qt::Key_Space);
    EXPECT_TRUE(idsWith("Selected").isEmpty());
}

TEST_F(MainGridTest, SerialMailCountsMarkedRecordsWithoutTouchingTheView) {
    ScriptedMessages messages;
    TMainForm& form = createForm();
    const QString none =
        u("Keine Datensätze zum versenden markiert! \rKlicken Sie doppelt auf die Spalte "
          "\"Selected\" um Datensätze zu markieren!");
    messages.expectInformation(none).expectInformation(none).expectInformation(none);
    child<QAction>("SerienEmailschreiben1")->trigger();
    QTest::mouseClick(child<QPushButton>("MailBitBtn"), Qt::LeftButton);
    QTest::mouseClick(child<QToolButton>("ToolButton3"), Qt::LeftButton);
    EXPECT_EQ(form.compositionWizard()->markedCount(), 0);
    EXPECT_TRUE(messages.allShown());

    for (int row : {1, 3, 8})
        clickCell(cell(row, "Selected"), true);
    // The user's view mode and position survive the count.
    auto* viewMode = child<QComboBox>("ComboBox1");
    QTest::keyClick(viewMode, Qt::Key_Down);
    QTest::keyClick(viewMode, Qt::Key_Down); // "Nicht markierte"
    table()->moveTo(2);
    const qint64 current = table()->currentId();
    QTest::mouseClick(child<QPushButton>("MailBitBtn"), Qt::LeftButton);
    EXPECT_EQ(form.compositionWizard()->markedCount(), 3);
    EXPECT_TRUE(table()->filtered());
    EXPECT_EQ(table()->filter(), QStringLiteral("Selected='False'"));
    EXPECT_EQ(table()->currentId(), current);
    EXPECT_EQ(statusText(), u("7 Datensätze"));
    EXPECT_EQ(child<QAction>("SerienEmailschreiben1")->shortcut(), QKeySequence(Qt::Key_F2));
}

TEST_F(MainGridTest, GridAndCountFollowChangesMadeOutsideTheWindow) {
    ScriptedMessages messages;
    createForm();
    ASSERT_NE(table(), nullptr);
    table()->moveTo(3);
    ASSERT_EQ(grid()->currentIndex().row(), 3);

    // A set operation on the store marks two records: the grid shows them marked, the
    // current row stays.
    TableStore* store = table()->store();
    EXPECT_EQ(store->updateRecords({2, 9}, {{"Selected", true}}), 2);
    EXPECT_EQ(cell(1, "Selected").data().toString(), QStringLiteral("True"));
    EXPECT_EQ(cell(8, "Selected").data().toString(), QStringLiteral("True"));
    EXPECT_EQ(grid()->currentIndex().row(), 3);

    // A second view deletes the current record: the grid drops the row, the following
    // record is current in the grid, and the status panel counts nine.
    TableView loop(store);
    ASSERT_TRUE(loop.locateId(4));
    ASSERT_TRUE(loop.deleteRecord());
    EXPECT_EQ(m_form->gridModel()->rowCount(), 9);
    EXPECT_EQ(statusText(), u("9 Datensätze"));
    EXPECT_EQ(grid()->currentIndex().row(), 3);
    EXPECT_EQ(cell(3, "Name").data().toString(), QStringLiteral("Ernst"));
    EXPECT_EQ(table()->asString("Name"), QStringLiteral("Ernst"));

    // Records appended by a loop appear at the end and are counted.
    loop.append();
    loop.setString("Name", "Kuhn");
    ASSERT_TRUE(loop.post());
    EXPECT_EQ(statusText(), u("10 Datensätze"));
    EXPECT_EQ(cell(9, "Name").data().toString(), QStringLiteral("Kuhn"));
    EXPECT_EQ(table()->asString("Name"), QStringLiteral("Ernst"));

    // Filtered on the marked records, the grid loses a record unmarked elsewhere.
    ASSERT_TRUE(table()->setFilter("Selected='True'"));
    table()->setFiltered(true);
    EXPECT_EQ(statusText(), u("2 Datensätze"));
    EXPECT_EQ(store->updateRecords({9}, {{"Selected", false}}), 1);
    EXPECT_EQ(statusText(), u("1 Datensatz"));
    EXPECT_EQ(m_form->gridModel()->rowCount(), 1);
    EXPECT_EQ(cell(0, "Name").data().toString(), QStringLiteral("Schulz"));
}
