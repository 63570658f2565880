#include "settings/forms/TDkimForm.h"
#include "settings/forms/TOptionsForm.h"

#include "common/IniFile.h"
#include "settings/SettingsTestSupport.h"
#include "support/FormTestSupport.h"
#include "support/ScriptedMessages.h"
#include "support/TempProgramFolder.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>

// The DKIM window of the options dialog: a bad selector is refused with a message and
// nothing saved; a good key shows its DNS record, which can be copied, and OK stores the
// values (the key file's path, never the key) in the settings file in force.
TEST(TDkimForm, RefusesBadNamesShowsTheRecordAndSavesOnlyThePath) {
    TempProgramFolder folder;
    AppState state;
    layOutSettingsFolder(state, folder.path());
    TOptionsForm options(state);
    options.prepare();
    child<QLineEdit>(&options, "EmailEdit")->setText("news@mail.firma.de");
    TDkimForm* form = options.dkimForm();
    form->prepare();
    form->show();

    const QString key = folder.path() + "dkim.pem";
    ASSERT_EQ(QProcess::execute("openssl", {"genpkey", "-algorithm", "RSA", "-pkeyopt",
                                            "rsa_keygen_bits:2048", "-out", key}),
              0);
    auto type = [form](const char* name, const QString& text) {
        QLineEdit* e = child<QLineEdit>(form, name);
        QTest::mouseClick(e, Qt::LeftButton);
        e->selectAll();
        QTest::keyClicks(e, text);
    };
    type("DkimDomainEdit", "firma.de");
    type("DkimSelectorEdit", "news letter");
    type("DkimKeyFileEdit", key);
    QCheckBox* active = child<QCheckBox>(form, "DkimActiveCheckBox");
    QTest::mouseClick(active, Qt::LeftButton, {}, QPoint(8, active->height() / 2));
    ASSERT_TRUE(active->isChecked());
    const QString settings = folder.path() + "Quillon.ini";
    {
        ScriptedMessages messages;
        messages.expectError(u("Der DKIM-Selektor \"news letter\" enthält Zeichen, die im DNS "
                               "nicht erlaubt sind (erlaubt sind Buchstaben a-z, Ziffern, "
                               "Bindestrich und Punkt)."));
        click(form, "DkimOkButton");
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(IniFile(settings).sectionExists("DKIM"));

    type("DkimSelectorEdit", "nl2026");
    click(form, "DkimCheckButton");
    const QString record = child<QPlainTextEdit>(form, "DkimRecordEdit")->toPlainText();
    EXPECT_TRUE(record.startsWith("v=DKIM1; k=rsa; p=MII")) << record.toStdString();
    click(form, "DkimCopyButton");
    EXPECT_EQ(QApplication::clipboard()->text(), record);
    click(form, "DkimOkButton");
    EXPECT_FALSE(form->isVisible());

    const DkimSettings saved = DkimSettings::read(settings);
    EXPECT_TRUE(saved.active);
    EXPECT_EQ(saved.domain, "firma.de");
    EXPECT_EQ(saved.selector, "nl2026");
    EXPECT_EQ(saved.keyFile, key);
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_FALSE(text.contains("PRIVATE KEY"));
    EXPECT_FALSE(text.contains(record.mid(20, 40).toLatin1()));
}
