#include "compose/forms/TGrussformelForm.h"

#include "common/TextFile.h"
#include "compose/SalutationFormula.h"
#include "shell/AppState.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class GrussformelFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        state.setFolders(
            WorkingFolders::fromProgramFolder(folder.path(), QString(), QDir::tempPath()));
        form = std::make_unique<TGrussformelForm>(state);
    }
    QLineEdit* edit(const QString& name) const { return form->findChild<QLineEdit*>(name); }
    void ok() { QTest::mouseClick(form->findChild<QPushButton*>("OKBitBtn"), Qt::LeftButton); }
    QString path() const { return folder.file("Grussformel.txt"); }

    TempProgramFolder folder;
    AppState state;
    std::unique_ptr<TGrussformelForm> form;
};

} // namespace

TEST_F(GrussformelFormTest, LoadsRowsAndWritesEightLines) {
    TextFile::writeLines(path(), {"Herr|Sehr geehrter Herr", "|Hallo", "Frau|Sehr geehrte Frau"});
    form->load();
    form->show();
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8("Grußformel"));
    EXPECT_EQ(edit("Edit1")->text(), "Herr");
    EXPECT_EQ(edit("Edit_1")->text(), "Sehr geehrter Herr");
    EXPECT_EQ(edit("Edit2")->text(), "Hallo"); // the word rule: "|Hallo" has the key Hallo
    EXPECT_EQ(edit("Edit_2")->text(), "");
    EXPECT_EQ(edit("Edit8")->text(), "");

    SalutationFormula formula(path());
    EXPECT_EQ(formula.lookup("Frau"), "Sehr geehrte Frau");
    edit("Edit2")->setText("  Familie ");
    edit("Edit_2")->setText(" Liebe Familie ");
    edit("Edit_3")->setText("Liebe Frau");
    ok();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(TextFile::readLines(path()),
              QStringList({"Herr|Sehr geehrter Herr", "Familie|Liebe Familie", "Frau|Liebe Frau",
                           "|", "|", "|", "|", "|"}));
    EXPECT_EQ(formula.lookup("Frau"), "Liebe Frau"); // the next record sees the change
}

TEST_F(GrussformelFormTest, RefusesRowsThatWouldBreakTheFile) {
    TextFile::writeLines(path(), {"Herr|Sehr geehrter Herr"});
    form->load();
    form->show();
    {
        ScriptedMessages messages;
        messages.expectInformation(QString::fromUtf8(
            "Das Zeichen \"|\" darf in einer Grußformel nicht vorkommen. Bitte entfernen Sie es "
            "aus Zeile 3!"));
        edit("Edit3")->setText("A|B");
        ok();
    }
    {
        ScriptedMessages messages;
        messages.expectInformation(QString::fromUtf8(
            "Bitte geben Sie in Zeile 3 auch den Begriff der Spalte \"Anrede\" ein (für eine "
            "leere Anrede {LEER})!"));
        edit("Edit3")->setText("");
        edit("Edit_3")->setText("Hallo");
        ok();
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(TextFile::readLines(path()), QStringList({"Herr|Sehr geehrter Herr"}));
    // "Abbrechen" writes nothing.
    QTest::mouseClick(form->findChild<QPushButton*>("AbbrechenBitBtn"), Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(TextFile::readLines(path()), QStringList({"Herr|Sehr geehrter Herr"}));
}
