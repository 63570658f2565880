#include "settings/forms/TImportAccountsForm.h"
#include "settings/forms/TOptionsForm.h"

#include "settings/SettingsTestSupport.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedMessages.h"
#include "support/TestEnvironment.h"
#include "support/ThunderbirdProfile.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

const char* const kNotice = "ACHTUNG! Aus Sicherheitsgründen werden Ihre Passwörter nicht "
                            "ausgelesen, bitte ergänzen Sie diese noch!";
const char* const kUnreadable =
    "1 Thunderbird-Konto oder -Profil konnte nicht gelesen werden und wird nicht angeboten.";

class ImportAccountsFormTest : public WindowTest<TOptionsForm> {
protected:
    void SetUp() override {
        layOutSettingsFolder(state, env.programFolder());
        form = std::make_unique<TOptionsForm>(state);
    }
    void addProfile() {
        writeThunderbirdProfile(env.home.path() + ".thunderbird", "x1.default", kThunderbirdPrefs,
                                {});
    }
    QString text(const char* edit) const { return child<QLineEdit>(edit)->text(); }
    // Clicks (or double-clicks) the list entry where it is drawn.
    static void clickEntry(QListWidget* list, int row, bool twice = false) {
        const QPoint at = list->visualItemRect(list->item(row)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        if (twice)
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }

    IsolatedEnvironment env;
    AppState state;
};

} // namespace

TEST_F(ImportAccountsFormTest, ThunderbirdAccountFillsTheOptions) {
    EXPECT_FALSE(TImportAccountsForm::profileExists()); // the first start asks nothing then
    addProfile();
    EXPECT_TRUE(TImportAccountsForm::profileExists());
    form->prepare();
    form->show();
    child<QLineEdit>("SMTPPasswordEdit")->setText("bleibt");
    ScriptedMessages m;
    m.expectInformation(kUnreadable);
    // The dialog "Thunderbird" opens, shown here without its modal loop.
    TImportAccountsForm* dialog = form->accountImport();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.allShown(); }, 3000));
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("Konto auswählen"));
    auto* list = ::child<QListWidget>(dialog, QStringLiteral("ListBox1"));
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), QString::fromUtf8("Anna Müller \"Büro\"<anna@example.de>"));
    EXPECT_EQ(list->item(1)->text(), "Bernd<bernd@example.org>");
    m.expectInformation(QString::fromUtf8("Bitte wählen Sie ein Konto aus!"));
    ::click(dialog, "AusfuehrenBitBtn");
    EXPECT_TRUE(dialog->isVisible());
    clickEntry(list, 0);
    m.expectInformation(u(kNotice));
    ::click(dialog, "AusfuehrenBitBtn");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(text("EmailEdit"), "anna@example.de");
    EXPECT_EQ(text("NameEdit"), QString::fromUtf8("Anna Müller \"Büro\""));
    EXPECT_EQ(text("SMTPHostEdit"), "smtp.example.de");
    EXPECT_EQ(text("SMTPPortEdit"), "587");
    EXPECT_TRUE(child<QCheckBox>("AuthentificationCheckBox")->isChecked());
    EXPECT_EQ(text("SMTPUserNameEdit"), "anna@example.de");
    EXPECT_EQ(text("SMTPPasswordEdit"), "bleibt"); // never read
    EXPECT_EQ(text("POPHostEdit"), "pop.example.de");
    EXPECT_EQ(text("POPKontoEdit"), "anna");
    EXPECT_EQ(text("POPPortEdit"), "110");

    // A double click on the IMAP account: its POP3 fields are cleared, no authentication.
    m.expectInformation(kUnreadable);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.allShown(); }, 3000));
    m.expectInformation(u(kNotice));
    clickEntry(list, 1, true);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(text("EmailEdit"), "bernd@example.org");
    EXPECT_EQ(text("SMTPHostEdit"), "mail.example.org");
    EXPECT_EQ(text("SMTPPortEdit"), "25");
    EXPECT_FALSE(child<QCheckBox>("AuthentificationCheckBox")->isChecked());
    EXPECT_EQ(text("POPHostEdit"), "");
    EXPECT_EQ(text("POPKontoEdit"), "");
    EXPECT_EQ(text("POPPortEdit"), "110");

    // "Abbrechen" changes nothing.
    m.expectInformation(kUnreadable);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.allShown(); }, 3000));
    clickEntry(list, 0);
    ::click(dialog, "AbbrechenBitBtn");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(text("EmailEdit"), "bernd@example.org");
}

// Plays the user on the modal dialogs that come up, each handler once, in order; a handler
// runs when a dialog of its class is the active modal window.
class ModalScript {
public:
    using Step = std::pair<QString, std::function<void(QDialog*)>>;
    explicit ModalScript(QList<Step> steps) : m_steps(std::move(steps)) {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (m_steps.isEmpty() || !dialog || !dialog->isVisible() ||
                dialog->metaObject()->className() != m_steps.first().first)
                return;
            const Step step = m_steps.takeFirst();
            step.second(dialog);
        });
        m_poll.start(10);
    }
    bool done() const { return m_steps.isEmpty(); }

private:
    QList<Step> m_steps;
    QTimer m_poll;
};

TEST_F(ImportAccountsFormTest, TheButtonAndTheFirstStartOpenTheAccountDialogModally) {
    addProfile();
    // "Thunderbird" opens the account dialog over the options; the pick fills them.
    form->prepare();
    form->show();
    ScriptedMessages m;
    m.expectInformation(kUnreadable).expectInformation(u(kNotice));
    ModalScript pick({{QStringLiteral("TImportAccountsForm"), [](QDialog* dialog) {
                           clickEntry(::child<QListWidget>(dialog, QStringLiteral("ListBox1")), 0);
                           ::click(dialog, "AusfuehrenBitBtn");
                       }}});
    click("ImportAccountBitBtn");
    EXPECT_TRUE(pick.done());
    EXPECT_TRUE(m.allShown());
    EXPECT_EQ(text("EmailEdit"), "anna@example.de");
    form->hide();

    // Never saved yet: opening the options asks first, and "Ja" leads to the same dialog;
    // after the pick the options are there to be saved.
    form = std::make_unique<TOptionsForm>(state);
    ASSERT_FALSE(state.flags.firstSettingsDone);
    m.expectQuestion(QString::fromUtf8("Postfacheinstellungen von Thunderbird übernehmen? "
                                       "(empfohlen)"),
                     true)
        .expectInformation(kUnreadable)
        .expectInformation(u(kNotice));
    QString filled;
    ModalScript firstStart(
        {{QStringLiteral("TImportAccountsForm"),
          [](QDialog* dialog) {
              clickEntry(::child<QListWidget>(dialog, QStringLiteral("ListBox1")), 1);
              ::click(dialog, "AusfuehrenBitBtn");
          }},
         {QStringLiteral("TOptionsForm"), [&](QDialog* dialog) {
              filled = ::child<QLineEdit>(dialog, QStringLiteral("EmailEdit"))->text();
              dialog->reject();
          }}});
    form->runModal();
    EXPECT_TRUE(firstStart.done());
    EXPECT_TRUE(m.allShown());
    EXPECT_EQ(filled, "bernd@example.org");
}
