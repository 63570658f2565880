#include "shell/forms/TFilterForm.h"
#include "shell/forms/TKRT_DB_SearchForm.h"

#include "records/RecordsTestSupport.h"
#include "support/FormTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

class SearchFilterDialogTest : public OpenStandardDatabase {
protected:
    void SetUp() override {
        OpenStandardDatabase::SetUp();
        add({{"Name", "Maier"}, {"Ort", "Bonn"}, {"Mail", "a@web.de"}});
        add({{"Name", "Meyer"}, {"Ort", "Berlin"}, {"Mail", "b@web.de"}});
        add({{"Name", "O'Neill"}, {"Ort", "Berlin"}, {"Mail", "c@web.de"}});
        add({{"Name", "Maierhofer"}, {"Ort", "Köln"}, {"Mail", "d@web.de"}});
    }
};

} // namespace

TEST_F(SearchFilterDialogTest, SearchDialogSearchesWithKeysAndResetsOnChanges) {
    TKRT_DB_SearchForm form(state);
    form.show();
    EXPECT_EQ(form.windowTitle(), "Suchen");
    auto* edit = child<QLineEdit>(&form, "Edit1");
    auto* ok = child<QPushButton>(&form, "OKButton");
    auto* heading = child<QLabel>(&form, "ErgLabel");
    auto* result1 = child<QLabel>(&form, "ResultLabel1");
    auto* editButton = child<QPushButton>(&form, "BearbeitenBitBtn");
    auto* deleteButton = child<QPushButton>(&form, "DeleteBitBtn");
    EXPECT_EQ(ok->text(), "Suchen [F3]");
    EXPECT_EQ(heading->text(), "Suchergebnis:");
    EXPECT_FALSE(heading->isEnabled()); // grey until a search ran
    EXPECT_FALSE(editButton->isEnabled() || deleteButton->isEnabled());

    QTest::keyClicks(edit, "maier");
    EXPECT_EQ(table->currentId(), 1); // a change of the text goes back to the first record
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(result1->text(), "ID = 1");
    EXPECT_EQ(child<QLabel>(&form, "ResultLabel2")->text(), "Name = Maier");
    EXPECT_EQ(child<QLabel>(&form, "ResultLabel3")->text(), "Maier");
    EXPECT_EQ(ok->text(), "Weiter suchen [F3]");
    EXPECT_TRUE(heading->isEnabled());
    EXPECT_TRUE(editButton->isEnabled() && deleteButton->isEnabled());

    QSignalSpy edits(&form, &TKRT_DB_SearchForm::editRequested);
    QSignalSpy deletes(&form, &TKRT_DB_SearchForm::deleteRequested);
    QTest::keyClick(child<QCheckBox>(&form, "ReverseCheckbox"), Qt::Key_F3);
    EXPECT_EQ(result1->text(), "ID = 4");
    QTest::keyClick(edit, Qt::Key_F8);
    EXPECT_EQ(deletes.count(), 1);
    EXPECT_EQ(result1->text(), ""); // the editor closed: the dialog starts over
    ok->click();
    QTest::keyClick(ok, Qt::Key_F4);
    EXPECT_EQ(edits.count(), 1);
    ok->click();
    EXPECT_EQ(result1->text(), "ID = 4");

    // Ticking ReverseCheckbox moves to the last record and keeps the found flag, so the
    // search goes on backwards from there.
    child<QCheckBox>(&form, "ReverseCheckbox")->setChecked(true);
    EXPECT_EQ(table->currentId(), 4);
    ok->click();
    EXPECT_EQ(result1->text(), "ID = 1");
    ok->click();
    EXPECT_EQ(result1->text(), "Kein weiteres Ergebnis gefunden!");
    QTest::keyClicks(edit, "x");
    EXPECT_EQ(result1->text(), "");
    EXPECT_EQ(ok->text(), "Suchen [F3]");
    ok->click();
    EXPECT_EQ(result1->text(), "Kein Ergebnis gefunden!");
    EXPECT_FALSE(editButton->isEnabled());

    ScriptedMessages messages;
    messages.expectInformation(
        "Was ist eine unscharfe Suche?\rMit dem Algorithmus der Levenshtein-Distanz werden "
        "nicht nur exakte Übereinstimmungen mit dem Suchbegriff angezeigt, sondern auch "
        "Näherungswerte miteinbezogen um beispielsweise Vertipper trotzdem zu finden.");
    QTest::keyClick(edit, Qt::Key_F1);
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(SearchFilterDialogTest, SearchDialogCheckBoxesExcludeEachOther) {
    TKRT_DB_SearchForm form(state);
    form.show();
    auto* caseBox = child<QCheckBox>(&form, "GrossKleinCheckBox");
    auto* fuzzyBox = child<QCheckBox>(&form, "LDCheckBox");
    EXPECT_EQ(fuzzyBox->text(), "unscharfe Suche nach Levenshtein ");
    caseBox->setChecked(true);
    fuzzyBox->setChecked(true);
    EXPECT_FALSE(caseBox->isChecked());
    child<QLineEdit>(&form, "Edit1")->setText("Meier"); // MAIER 20 %, MEYER 20 %
    child<QPushButton>(&form, "OKButton")->click();
    EXPECT_EQ(child<QLabel>(&form, "ResultLabel1")->text(), "ID = 1");
    EXPECT_TRUE(child<QPushButton>(&form, "BearbeitenBitBtn")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(&form, "DeleteBitBtn")->isEnabled());
    caseBox->setChecked(true);
    EXPECT_FALSE(fuzzyBox->isChecked());
    EXPECT_EQ(child<QLabel>(&form, "ResultLabel1")->text(), "");
    child<QLineEdit>(&form, "Edit1")->setText("maier");
    child<QPushButton>(&form, "OKButton")->click();
    EXPECT_EQ(child<QLabel>(&form, "ResultLabel1")->text(), "Kein Ergebnis gefunden!");
}

TEST_F(SearchFilterDialogTest, FilterDialogBuildsTheExpressionFromItsControls) {
    TFilterForm form(state);
    form.show();
    auto* field1 = child<QComboBox>(&form, "Field1ComboBox");
    auto* field2 = child<QComboBox>(&form, "Field2ComboBox");
    auto* expression = child<QLineEdit>(&form, "ExpressionEdit");
    auto* connector = child<QPushButton>(&form, "ConectorBtn");
    auto* op1 = child<QPushButton>(&form, "Operate1Btn");
    // The 14th and the 10th entry when nothing was chosen yet.
    EXPECT_EQ(field1->currentText(), "Ort");
    EXPECT_EQ(field2->currentText(), "Firma");
    EXPECT_EQ(field1->itemText(4), "E-Mail"); // captions
    EXPECT_EQ(expression->text(), "Ort = '*'");
    EXPECT_EQ(connector->text(), "keine zweite Bedingung");
    EXPECT_FALSE(field2->isEnabled());

    QStringList ops;
    for (int i = 0; i < 4; ++i) {
        op1->click();
        ops << op1->text();
    }
    EXPECT_EQ(ops, QStringList({"<>", "<", ">", "="}));

    field1->setCurrentIndex(field1->findText("Name"));
    child<QLineEdit>(&form, "Exp1Edit")->setText("Meier");
    connector->click();
    EXPECT_EQ(connector->text(), "und");
    EXPECT_TRUE(field2->isEnabled());
    field2->setCurrentIndex(field2->findText("Ort"));
    child<QPushButton>(&form, "Operate2Btn")->click();
    child<QLineEdit>(&form, "Exp2Edit")->setText("Berlin");
    EXPECT_EQ(expression->text(), "Name = 'Meier*' AND Ort <> 'Berlin*'");
    connector->click();
    EXPECT_EQ(expression->text(), "Name = 'Meier*' OR Ort <> 'Berlin*'");
    connector->click();
    EXPECT_EQ(expression->text(), "Name = 'Meier*'");
    EXPECT_FALSE(child<QLineEdit>(&form, "Exp2Edit")->isEnabled());

    // Closing and opening again keeps the choices and rebuilds the expression.
    expression->setText("frei getippt");
    child<QPushButton>(&form, "CloseButton")->click();
    form.show();
    EXPECT_EQ(field1->currentText(), "Name");
    EXPECT_EQ(expression->text(), "Name = 'Meier*'");
}

TEST_F(SearchFilterDialogTest, FilterOnAndOffChangeTheTable) {
    TFilterForm form(state);
    form.show();
    QSignalSpy switched(&form, &TFilterForm::filterSwitched);
    auto* field1 = child<QComboBox>(&form, "Field1ComboBox");
    field1->setCurrentIndex(field1->findText("Name"));
    child<QLineEdit>(&form, "Exp1Edit")->setText("O'Nei");
    EXPECT_EQ(form.expression(), "Name = 'O''Nei*'");
    child<QPushButton>(&form, "OnBitBtn")->click();
    EXPECT_TRUE(table->filtered());
    EXPECT_EQ(table->recordCount(), 1);
    EXPECT_EQ(table->asString("Name"), "O'Neill");
    ASSERT_EQ(switched.count(), 1);
    EXPECT_TRUE(switched.at(0).at(0).toBool());

    // An expression the engine refuses is reported and the filter stays as it was.
    child<QLineEdit>(&form, "ExpressionEdit")->setText("Name = 'Mai");
    {
        ScriptedMessages messages;
        messages.expectAnyError();
        EXPECT_FALSE(form.applyFilter());
    }
    EXPECT_EQ(table->recordCount(), 1);
    EXPECT_EQ(table->filter(), "Name = 'O''Nei*'");

    child<QPushButton>(&form, "OffBitBtn")->click();
    EXPECT_FALSE(table->filtered());
    EXPECT_TRUE(table->filter().isEmpty());
    EXPECT_EQ(table->recordCount(), 4);
    ASSERT_EQ(switched.count(), 2);
    EXPECT_FALSE(switched.at(1).at(0).toBool());
}
