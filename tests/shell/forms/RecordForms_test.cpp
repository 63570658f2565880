#include "shell/forms/TDeleteColumnForm.h"
#include "shell/forms/TEdForm.h"

#include "common/TextFile.h"
#include "records/RecordsTestSupport.h"
#include "support/FormTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

class RecordFormsTest : public OpenStandardDatabase {
protected:
    void SetUp() override {
        OpenStandardDatabase::SetUp();
        add({{"Mail", "anna@web.de"}, {"Name", "Adam"}, {"Selected", "True"}});
        add({{"Mail", "bert@web.de"}, {"Name", "Bauer"}, {"Anrede", "Herr"}});
        add({{"Mail", "carl@gmx.de"}, {"Name", "Conrad"}, {"Selected", "True"}});
    }

    // Opens the editor and runs the steps while it is shown; returns execFor's result.
    bool runEditor(TEdForm& form, TEdForm::Mode mode, const std::function<void()>& steps) {
        bool ran = false;
        QTimer::singleShot(0, &form, [&] {
            ran = true;
            steps();
            if (form.isVisible()) // leave no modal loop behind a failed step
                form.abort();
        });
        const bool saved = form.execFor(mode);
        EXPECT_TRUE(ran);
        return saved;
    }
};

} // namespace

TEST_F(RecordFormsTest, NewRecordIsMarkedAndValid) {
    state.flags.checkDuplicatesOnInput = false;
    TEdForm form(state);
    const bool saved = runEditor(form, TEdForm::Mode::New, [&] {
        EXPECT_EQ(form.windowTitle(), "Editor");
        EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_EQ(child<QLabel>(&form, "ESLabel1")->text(), "Neueingabe");
        EXPECT_EQ(child<QPushButton>(&form, "OKSpeedButton")->text(), "Speichern (F2)");
        EXPECT_TRUE(child<QCheckBox>(&form, "Check_Selected")->isChecked());
        EXPECT_FALSE(child<QCheckBox>(&form, "Check_Invalid")->isChecked());
        EXPECT_TRUE(child<QLineEdit>(&form, "Edit_ID")->isHidden());
        auto* anrede = child<QComboBox>(&form, "Combo_Anrede");
        EXPECT_EQ(anrede->count(), 3);
        EXPECT_EQ(anrede->maxVisibleItems(), 40);
        auto* name = child<QLineEdit>(&form, "Edit_Name");
        EXPECT_EQ(name->geometry(), QRect(120, 140, 250, 20));
        // The label stands left of its field and never over it.
        const QRect label = child<QLabel>(&form, "Label_Name")->geometry();
        EXPECT_EQ(label.topLeft(), QPoint(20, 140));
        EXPECT_EQ(label.height(), 20);
        EXPECT_LT(label.right(), name->geometry().left());
        EXPECT_EQ(child<QLabel>(&form, "Label_Str")->text(), "Straße");
        // Enter and Page Down move to the next control, Page Up back.
        QApplication::setActiveWindow(&form);
        name->setFocus();
        QTest::keyClick(name, Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), child<QLineEdit>(&form, "Edit_Vorname"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
        EXPECT_EQ(QApplication::focusWidget(), child<QLineEdit>(&form, "Edit_Firma"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp);
        EXPECT_EQ(QApplication::focusWidget(), child<QLineEdit>(&form, "Edit_Vorname"));
        anrede->setCurrentIndex(1);
        child<QLineEdit>(&form, "Edit_Mail")->setText("dora@web.de");
        name->setText("Dorn");
        QTest::keyClick(name, Qt::Key_F2);
        EXPECT_FALSE(form.isVisible());
    });
    EXPECT_TRUE(saved);
    EXPECT_EQ(form.findChild<QLineEdit*>("Edit_Name"), nullptr); // controls removed
    EXPECT_EQ(table->recordCount(), 4);
    EXPECT_EQ(table->asString("Name"), "Dorn");
    EXPECT_EQ(table->asString("Anrede"), "Frau");
    EXPECT_TRUE(table->asBool("Selected"));
    EXPECT_FALSE(table->asBool("Invalid"));
}

TEST_F(RecordFormsTest, DuplicateAnsweredNoKeepsTheEditorOpenUnsaved) {
    state.flags.checkDuplicatesOnInput = true;
    TEdForm form(state);
    const bool saved = runEditor(form, TEdForm::Mode::New, [&] {
        // The addresses of the view were listed before the editor opened.
        EXPECT_EQ(TextFile::readLines(folder.file("SchonInDB.list")).size(), 3);
        child<QLineEdit>(&form, "Edit_Mail")->setText("bert@web");
        ScriptedMessages messages;
        messages.expectQuestion(duplicateQuestion("bert@web.de"), false);
        child<QPushButton>(&form, "OKSpeedButton")->click();
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(table->recordCount(), 3);
        QTest::keyClick(child<QLineEdit>(&form, "Edit_Mail"), Qt::Key_Escape);
        EXPECT_FALSE(form.isVisible());
    });
    EXPECT_FALSE(saved);
    EXPECT_EQ(table->recordCount(), 3);
}

TEST_F(RecordFormsTest, EditAndDeleteTheCurrentRecord) {
    table->first();
    table->next();
    TEdForm form(state);
    EXPECT_TRUE(runEditor(form, TEdForm::Mode::Edit, [&] {
        EXPECT_EQ(child<QLabel>(&form, "ESLabel1")->text(), "Bearbeiten");
        EXPECT_EQ(child<QComboBox>(&form, "Combo_Anrede")->currentText(), "Herr");
        auto* name = child<QLineEdit>(&form, "Edit_Name");
        EXPECT_EQ(name->text(), "Bauer");
        name->setText("Baumann");
        child<QCheckBox>(&form, "Check_Invalid")->setChecked(true);
        child<QPushButton>(&form, "OKSpeedButton")->click();
    }));
    EXPECT_EQ(column("Name"), QStringList({"Adam", "Baumann", "Conrad"}));
    EXPECT_EQ(column("Invalid"), QStringList({"False", "True", "False"}));

    // Cancelling discards what was typed.
    EXPECT_FALSE(runEditor(form, TEdForm::Mode::Edit, [&] {
        child<QLineEdit>(&form, "Edit_Name")->setText("Falsch");
        child<QPushButton>(&form, "AbortSpeedButton")->click();
    }));
    EXPECT_EQ(column("Name").at(1), "Baumann");

    auto deleteRun = [&](bool yes) {
        return runEditor(form, TEdForm::Mode::Delete, [&] {
            auto* heading = child<QLabel>(&form, "ESLabel1");
            auto* ok = child<QPushButton>(&form, "OKSpeedButton");
            EXPECT_EQ(heading->text(), "Löschen");
            EXPECT_EQ(ok->text(), "Löschen (F2)");
            EXPECT_EQ(heading->palette().color(QPalette::WindowText), QColor(Qt::red));
            EXPECT_EQ(ok->palette().color(QPalette::ButtonText), QColor(Qt::red));
            ScriptedMessages messages;
            messages.expectDestructiveQuestion("Datensatz wirklich löschen?", yes);
            ok->click();
            EXPECT_FALSE(form.isVisible()); // closes either way
        });
    };
    EXPECT_FALSE(deleteRun(false));
    EXPECT_EQ(table->recordCount(), 3);
    EXPECT_TRUE(deleteRun(true));
    EXPECT_EQ(column("Name"), QStringList({"Adam", "Conrad"}));
}

TEST_F(RecordFormsTest, RequiredColumnLeftEmptyIsReportedByTheEngine) {
    CloseDatabase(state.session);
    const QString data = state.folders.dataFolder;
    QFile::remove(data + "Database.DB");
    QStringList pro = TextFile::readLines(data + "Database.pro");
    for (QString& line : pro)
        if (line.startsWith("Name "))
            line.replace("False", "TRUE");
    ASSERT_TRUE(TextFile::writeLines(data + "Database.pro", pro));
    {
        ScriptedMessages messages;
        ASSERT_TRUE(OpenDatabase(state.session, "Database.ini", messages));
    }
    table = state.session.currentTable();
    state.flags.checkDuplicatesOnInput = false;
    TEdForm form(state);
    EXPECT_FALSE(runEditor(form, TEdForm::Mode::New, [&] {
        child<QLineEdit>(&form, "Edit_Mail")->setText("ohne@name.de");
        ScriptedMessages messages;
        messages.expectError("Das Feld \"Name\" muss einen Wert enthalten.");
        QTest::keyClick(child<QLineEdit>(&form, "Edit_Mail"), Qt::Key_F2);
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(child<QLineEdit>(&form, "Edit_Mail")->text(), "ohne@name.de");
    }));
    EXPECT_EQ(table->recordCount(), 0);
}

TEST_F(RecordFormsTest, ColumnDialogSetsMarkedRecordsAndStaysOpen) {
    ASSERT_TRUE(table->setFilter("Name='C*'"));
    table->setFiltered(true);
    TDeleteColumnForm form(state);
    QStringList status;
    form.setStatusSink([&](const QString& t) { status << t; });
    QSignalSpy done(&form, &TDeleteColumnForm::columnContentSet);
    form.show();
    EXPECT_EQ(form.windowTitle(), "Spalteninhalt löschen/setzen");
    EXPECT_EQ(child<QLabel>(&form, "InfoLabel")->text(),
              QString(TDeleteColumnForm::explanation()).replace("\r\n", "\n"));
    auto* columns = child<QComboBox>(&form, "cbDB");
    EXPECT_EQ(columns->itemText(0), "E-Mail");
    EXPECT_EQ(columns->currentText(), "Anrede");
    child<QCheckBox>(&form, "chk1")->setChecked(true);
    child<QLineEdit>(&form, "Edit1")->setText("  Frau ");
    {
        ScriptedMessages messages;
        messages.expectDestructiveQuestion(
            "Wollen Sie wirklich alle selektierten Felder in der Spalte "
            "\"Anrede\" mit dem Wert \"Frau\" ersetzen?",
            false);
        child<QPushButton>(&form, "btnDo")->click();
        EXPECT_EQ(column("Anrede"), QStringList({"", "Herr", ""}));
        messages.expectDestructiveQuestion(
            "Wollen Sie wirklich alle selektierten Felder in der Spalte "
            "\"Anrede\" mit dem Wert \"Frau\" ersetzen?",
            true);
        child<QPushButton>(&form, "btnDo")->click();
    }
    EXPECT_EQ(column("Anrede"), QStringList({"Frau", "Herr", "Frau"}));
    EXPECT_FALSE(table->filtered());
    EXPECT_EQ(table->recordCount(), 3);
    EXPECT_EQ(status, QStringList({"Spaltenbearbeitung: 3 von 3", ""}));
    EXPECT_EQ(done.count(), 1);
    EXPECT_TRUE(form.isVisible());

    child<QCheckBox>(&form, "chk1")->setChecked(false);
    child<QLineEdit>(&form, "Edit1")->clear();
    ScriptedMessages messages;
    messages.expectDestructiveQuestion(
        "Wollen Sie wirklich alle Felder in der Spalte \"Anrede\" leeren?", true);
    child<QPushButton>(&form, "btnDo")->click();
    EXPECT_EQ(column("Anrede"), QStringList(3, ""));
}

TEST_F(RecordFormsTest, ColumnDialogWritesTheColumnBehindTheCaption) {
    ScriptedMessages messages;
    messages.expectInformation("Datenbank wurde erzeugt!");
    ASSERT_TRUE(
        CreateDatabase(state.session, "Gewinner", {"Gewinnspielfrage", "Bestellnummer"}, messages));
    table = state.session.currentTable();
    add({{"Mail", "a@b.de"}});
    TDeleteColumnForm form(state);
    form.show();
    auto* columns = child<QComboBox>(&form, "cbDB");
    columns->setCurrentIndex(columns->findText("Gewinnspielfrage"));
    child<QLineEdit>(&form, "Edit1")->setText("Peter's Antwort");
    messages.expectDestructiveQuestion(
        "Wollen Sie wirklich alle Felder in der Spalte \"Gewinnspielfrage\" "
        "mit dem Wert \"Peter's Antwort\" ersetzen?",
        true);
    child<QPushButton>(&form, "btnDo")->click();
    EXPECT_EQ(column("Spalte1"), QStringList({"Peter's Antwort"}));
    EXPECT_EQ(column("Spalte2"), QStringList({""}));
}

namespace {

// Clicks at the middle of a widget the way a user does: the window decides which control
// is under the pointer.
void clickAsUser(QWidget* window, QWidget* target) {
    if (auto* scroll = window->findChild<QScrollArea*>())
        scroll->ensureWidgetVisible(target);
    const QPoint at = target->mapTo(window, target->rect().center());
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, at);
}

bool hasFocusWithin(QWidget* control) {
    QWidget* focus = QApplication::focusWidget();
    return focus && (focus == control || control->isAncestorOf(focus));
}

} // namespace

TEST_F(RecordFormsTest, EveryFieldLabelAndCheckBoxTakesTheMouseWhereItIsDrawn) {
    TEdForm form(state);
    runEditor(form, TEdForm::Mode::Edit, [&] {
        form.activateWindow();
        QApplication::setActiveWindow(&form);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        int rows = 0;
        for (QLabel* label : form.findChildren<QLabel*>()) {
            if (!label->objectName().startsWith("Label_") || label->isHidden())
                continue;
            const QString field = label->objectName().mid(6);
            QWidget* control = nullptr;
            for (const char* prefix : {"Edit_", "Combo_", "Check_"})
                if (!control)
                    control = form.findChild<QWidget*>(QLatin1String(prefix) + field);
            ASSERT_NE(control, nullptr) << field.toStdString();
            ++rows;
            // The label ends before its control begins.
            EXPECT_LT(label->geometry().right(), control->geometry().left()) << field.toStdString();
            EXPECT_EQ(label->geometry().top(), control->geometry().top());
            form.setFocus();
            if (auto* check = qobject_cast<QCheckBox*>(control)) {
                const bool was = check->isChecked();
                clickAsUser(&form, check);
                EXPECT_NE(check->isChecked(), was) << field.toStdString();
                clickAsUser(&form, label);
                EXPECT_EQ(check->isChecked(), was) << field.toStdString();
                continue;
            }
            clickAsUser(&form, control);
            EXPECT_TRUE(hasFocusWithin(control)) << field.toStdString();
            // A click on the label gives its field the focus.
            child<QPushButton>(&form, "HilfeBitBtn")->setFocus();
            clickAsUser(&form, label);
            EXPECT_TRUE(hasFocusWithin(control)) << "label of " << field.toStdString();
        }
        EXPECT_GE(rows, 10);
    });
}
