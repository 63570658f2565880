#include "hygiene/forms/HygieneActions.h"
#include "hygiene/forms/TDeleteAdressesWizardForm.h"
#include "hygiene/forms/TSelectiveDuplicateForm.h"

#include "hygiene/HygieneTestSupport.h"
#include "support/FormTestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

// Clicks a button of a dialog once the dialog's own event loop runs.
void clickLater(QWidget* dialog, const char* button) {
    QTimer::singleShot(0, dialog, [dialog, button] {
        EXPECT_TRUE(dialog->isVisible());
        child<QPushButton>(dialog, button)->click();
    });
}

class HygieneFormsTest : public HygieneFixture {
protected:
    void SetUp() override {
        HygieneFixture::SetUp();
        const char* names[] = {"O'Brien", "Maier", "o'brien", "Maier", "Kurz", ""};
        for (int i = 0; i < 6; ++i)
            addRecords(table, {{{"Name", QString::fromLatin1(names[i])},
                                {"Mail", QString("m%1@x.de").arg(i % 3)},
                                {"Selected", i == 4}}});
    }
    QWidget window;
};

} // namespace

TEST_F(HygieneFormsTest, ChoiceDialogKeepsItsChoiceButNotTheAnswer) {
    TDeleteAdressesWizardForm form(state);
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Doppelte Datensätze löschen"));
    EXPECT_EQ(child<QLabel>(&form, "QuestionLabel")->text(), "Was wollen Sie tun?");
    auto* deleteRadio = child<QRadioButton>(&form, "DeleteSofortRadioButton");
    auto* markRadio = child<QRadioButton>(&form, "ManuellDeleteRadioButton");
    auto* keep = child<QComboBox>(&form, "ComboBox1");
    EXPECT_EQ(deleteRadio->text(), QString::fromUtf8("Doppelte Datensätze löschen"));
    EXPECT_EQ(markRadio->text(),
              QString::fromUtf8("Doppelte Datensätze markieren und anschließen von Hand löschen"));
    ASSERT_EQ(keep->count(), 2);
    EXPECT_EQ(keep->itemText(0), QString::fromUtf8("den ältesten Datensatz bestehen lassen"));
    EXPECT_EQ(keep->itemText(1), QString::fromUtf8("den neuesten Datensatz bestehen lassen"));
    EXPECT_FALSE(deleteRadio->isChecked() || markRadio->isChecked());

    // First showing: delete is chosen; the keep rule is picked and "Weiter" proceeds.
    QTimer::singleShot(0, &form, [&] {
        EXPECT_TRUE(deleteRadio->isChecked());
        EXPECT_TRUE(keep->isEnabled());
        EXPECT_EQ(keep->currentIndex(), 0);
        keep->setCurrentIndex(1);
        child<QPushButton>(&form, "WeiterBitBtn")->click();
    });
    Duplicates::Choice c = form.ask();
    EXPECT_TRUE(c.proceed);
    EXPECT_EQ(c.action, Duplicates::Action::Delete);
    EXPECT_EQ(c.keep, Duplicates::KeepRule::Newest);

    // Second showing keeps the rule; marking disables it; "Abbrechen" does not proceed.
    QTimer::singleShot(0, &form, [&] {
        EXPECT_EQ(keep->currentIndex(), 1);
        EXPECT_FALSE(form.choice().proceed);
        markRadio->click();
        EXPECT_FALSE(keep->isEnabled());
        child<QPushButton>(&form, "AbortBitBtn")->click();
    });
    c = form.ask();
    EXPECT_FALSE(c.proceed);
    EXPECT_EQ(c.action, Duplicates::Action::Mark);

    // Third showing: the mark choice is still there.
    QTimer::singleShot(0, &form, [&] {
        EXPECT_TRUE(markRadio->isChecked());
        child<QPushButton>(&form, "WeiterBitBtn")->click();
    });
    c = form.ask();
    EXPECT_TRUE(c.proceed);
    EXPECT_EQ(c.action, Duplicates::Action::Mark);
}

TEST_F(HygieneFormsTest, SelectiveWindowStaysOpenUntilARunFinishes) {
    HygieneActions actions(state, &window);
    QStringList status;
    actions.status = [&](const QString& t) { status << t; };
    int counts = 0; // the record count beside the grid follows the table's notification
    QObject::connect(state.session.currentTable(), &AddressTable::recordCountChanged,
                     [&] { ++counts; });
    TSelectiveDuplicateForm* form = actions.selectiveForm();
    TDeleteAdressesWizardForm* wizard = actions.wizardForm();
    ScriptedMessages messages;
    messages.expectInformation(
        QString::fromUtf8("Prüfung abgeschlossen. 2 doppelte Datensätze gelöscht!"));

    QTimer::singleShot(0, form, [&] {
        EXPECT_EQ(form->windowTitle(),
                  QString::fromUtf8("Selektives Löschen doppelter Datensätze"));
        auto* columns = child<QComboBox>(form, "cbDB");
        ASSERT_GE(columns->count(), 5);
        EXPECT_EQ(columns->itemText(0), "E-Mail");
        EXPECT_EQ(columns->itemText(3), "Name");
        EXPECT_EQ(columns->currentIndex(), 1); // the second entry
        EXPECT_EQ(form->fieldNames().value(0), "Mail");
        EXPECT_EQ(form->selectedFieldName(), "Anrede");
        columns->setCurrentIndex(3);

        // The choice is cancelled: the window stays open and nothing changes.
        clickLater(wizard, "AbortBitBtn");
        child<QPushButton>(form, "btnDo")->click();
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(allIds(table).size(), 6);

        clickLater(wizard, "WeiterBitBtn");
        child<QPushButton>(form, "btnDo")->click();
        EXPECT_FALSE(form->isVisible());
    });
    actions.selectiveDuplicates();
    // O'Brien (1, 3) and Maier (2, 4): the oldest of each stays.
    EXPECT_EQ(allIds(table), QList<qint64>({1, 2, 5, 6}));
    EXPECT_TRUE(status.contains("Delete doublettes: 2 von 2"));
    EXPECT_EQ(status.last(), "");
    EXPECT_GE(counts, 1);
}

TEST_F(HygieneFormsTest, MenuEntriesRunTheirTools) {
    HygieneActions actions(state, &window);
    QStringList status;
    actions.status = [&](const QString& t) { status << t; };
    {
        ScriptedMessages messages;
        messages.expectInformation(
            QString::fromUtf8("Prüfung abgeschlossen. 3 doppelte E-Mail-Adressen markiert!"));
        QTimer::singleShot(0, actions.wizardForm(), [&] {
            child<QRadioButton>(actions.wizardForm(), "ManuellDeleteRadioButton")->click();
            child<QPushButton>(actions.wizardForm(), "WeiterBitBtn")->click();
        });
        actions.deleteDuplicateMails();
        EXPECT_EQ(idsWhere(table, "Selected='True'"), QList<qint64>({1, 2, 3, 4, 5, 6}));
        EXPECT_TRUE(status.contains("Getmail: 6 von 6"));
    }
    {
        ScriptedMessages messages;
        messages.expectDestructiveQuestion(
            QString::fromUtf8("Wollen Sie wirklich alle markierten Datensätze löschen?"), true);
        actions.deleteAllMarked();
        EXPECT_TRUE(allIds(table).isEmpty());
        EXPECT_TRUE(status.contains("Delete: 6"));
    }
    {
        addRecords(table, {{{"Mail", "bad"}}});
        ScriptedMessages messages;
        messages
            .expectInformation(QString::fromUtf8("Prüfung ist abgeschlossen! 1 ungültige (invalid) "
                                                 "E-Mail-Adressen wurden markiert!"))
            .expectDestructiveQuestion(
                QString::fromUtf8("Wollen Sie alle ungültigen E-Mail-Adressen löschen?"), false);
        actions.checkAddresses();
        EXPECT_EQ(idsWhere(table, "Invalid='True'").size(), 1);
        messages.expectDestructiveQuestion(
            QString::fromUtf8("Wollen Sie wirklich alle invaliden Datensätze löschen?"), true);
        actions.deleteAllInvalid();
        EXPECT_EQ(table->recordCount(), 0);
    }
    {
        addRecords(table, {{{"Mail", "a@x.de"}}});
        ScriptedMessages messages;
        messages
            .expectDestructiveQuestion(
                QString::fromUtf8(
                    "Datenbank komplett leeren? Alle Datensätze gehen dabei verloren!"),
                true)
            .expectDestructiveQuestion(
                QString::fromUtf8("Wollen Sie wirklich alle Datensätze in dieser "
                                  "Datenbank löschen?"),
                true);
        actions.emptyDatabase();
        ASSERT_TRUE(state.session.hasOpenTable());
        EXPECT_EQ(state.session.currentTable()->recordCount(), 0);
    }
    CloseDatabase(state.session);
    ScriptedMessages messages;
    messages.expectInformation(QString::fromUtf8("Zuerst Datenbank öffnen!"));
    actions.selectiveDuplicates();
    EXPECT_FALSE(actions.selectiveForm()->isVisible());
}
