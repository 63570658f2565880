#pragma once
#include "common/FilePicker.h"
#include "common/Messages.h"
#include "common/TextFile.h"
#include "database/AddressTable.h"
#include "database/Catalogue.h"
#include "database/DatabaseDefinition.h"
#include "settings/AccountSettings.h"
#include "shell/AppState.h"
#include "shell/Startup.h"
#include "support/TempProgramFolder.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QList>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

// A FilePicker for tests: gives the scripted answers in order (an empty answer is a
// cancelled dialog) and records what each dialog was asked to show. A dialog that was
// not scripted fails the test.
class ScriptedFilePicker : public FilePicker {
public:
    struct Call {
        QString kind; // "open", "save", "folder"
        QString caption;
        QString folder;
        QString filter;
    };

    ScriptedFilePicker() { FilePicker::install(this); }
    ~ScriptedFilePicker() override {
        FilePicker::install(nullptr);
        EXPECT_TRUE(m_answers.isEmpty()) << "file dialogs not shown: " << m_answers.size();
    }
    ScriptedFilePicker& answer(const QString& path) {
        m_answers.append(path);
        return *this;
    }

    QString openFile(const QString& caption, const QString& folder,
                     const QString& filter) override {
        return take({QStringLiteral("open"), caption, folder, filter});
    }
    QString saveFile(const QString& caption, const QString& folder,
                     const QString& filter) override {
        return take({QStringLiteral("save"), caption, folder, filter});
    }
    QString folder(const QString& caption, const QString& folder) override {
        return take({QStringLiteral("folder"), caption, folder, QString()});
    }

    QList<Call> calls;

private:
    QString take(const Call& call) {
        calls.append(call);
        if (m_answers.isEmpty()) {
            ADD_FAILURE() << "unexpected file dialog: " << call.caption.toStdString();
            return {};
        }
        return m_answers.takeFirst();
    }
    QStringList m_answers;
};

// Marks the records with these IDs.
inline void markIds(AddressTable* table, std::initializer_list<qint64> ids) {
    ASSERT_NE(table, nullptr);
    for (qint64 id : ids) {
        ASSERT_TRUE(table->locateId(id));
        table->edit();
        table->setBool(QStringLiteral("Selected"), true);
        ASSERT_TRUE(table->post());
    }
}

// Environment of one window test: program folder with the shipped files, home folder,
// system temp folder and settings store of its own. The standard database holds the
// first `people` of Anna Maier, Bernd Schulz, Carla Ernst and Dora Dorn (IDs from 1).
class ComposeEnvironment : public IsolatedEnvironment {
public:
    explicit ComposeEnvironment(int people) : IsolatedEnvironment(true) {
        const std::vector<std::vector<const char*>> all = {{"anna@example.de", "Maier", "Frau"},
                                                           {"bernd@example.de", "Schulz", "Herr"},
                                                           {"carla@example.de", "Ernst", "Frau"},
                                                           {"dora@example.de", "Dorn", "Frau"}};
        layOutFilledStandardDatabase(programFolder(), {"Mail", "Name", "Anrede"},
                                     {all.begin(), all.begin() + people});
    }

    // Points the state at the folders and opens the standard database, as start-up does.
    void openInto(AppState& state) const {
        state.setFolders(
            WorkingFolders::fromProgramFolder(programFolder(), QString(), systemTemp()));
        state.session.reloadCatalogue();
        SilentMessages silent;
        EXPECT_TRUE(OpenDatabase(state.session, QStringLiteral("Database.ini"), silent));
    }

    // The account of an SMTP server on 127.0.0.1, saved in Quillon.ini, and one sender.
    void writeAccount(int port, const QString& senderLine) const {
        AccountSettings account;
        account.smtpHost = QStringLiteral("127.0.0.1");
        account.smtpPort = QString::number(port);
        account.codeSetIndex = 3;
        QString error;
        EXPECT_TRUE(Settings::writeAccountSettings(
            SettingsFiles::generalSettingsPath(programFolder()), account, &error))
            << error.toStdString();
        EXPECT_TRUE(
            TextFile::writeLines(dataFolder() + QStringLiteral("AbsenderMails.ini"), {senderLine}));
    }
};
