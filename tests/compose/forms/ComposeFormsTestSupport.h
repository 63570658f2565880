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

#include <QDir>
#include <QList>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
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

struct TestPerson {
    const char* mail;
    const char* name;
    const char* anrede;
};

// Environment of one window test: program folder with the shipped files, home folder,
// system temp folder and settings store of its own. The standard database holds the
// given people (IDs from 1 in this order).
class ComposeEnvironment {
public:
    explicit ComposeEnvironment(const std::vector<TestPerson>& people) {
        for (const char* name : {"QUILLON_HOME", "HOME", "XDG_CONFIG_HOME", "TMPDIR"})
            m_saved.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
        qputenv("QUILLON_HOME", m_program.path().toLocal8Bit());
        qputenv("HOME", m_home.path().toLocal8Bit());
        qputenv("TMPDIR", m_temp.path().toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           m_home.path() + QStringLiteral("settings"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           m_home.path() + QStringLiteral("settings"));
        Startup::layOutShippedFiles(m_program.path());
        SilentMessages silent;
        EXPECT_TRUE(CreateTableFromDefinition(dataFolder(), QStringLiteral("Database"), silent));
        AddressTable table;
        EXPECT_TRUE(table.open(dataFolder() + QStringLiteral("Database.DB")));
        for (const TestPerson& p : people) {
            table.append();
            table.setString(QStringLiteral("Mail"), QString::fromUtf8(p.mail));
            table.setString(QStringLiteral("Name"), QString::fromUtf8(p.name));
            table.setString(QStringLiteral("Anrede"), QString::fromUtf8(p.anrede));
            EXPECT_TRUE(table.post());
        }
    }
    ~ComposeEnvironment() {
        for (const auto& s : m_saved) {
            if (s.was)
                qputenv(s.name, s.value);
            else
                qunsetenv(s.name);
        }
    }

    QString programFolder() const { return m_program.path(); }
    QString dataFolder() const { return m_program.path() + QStringLiteral("Data/"); }
    QString systemTemp() const { return m_temp.path(); }

    // Points the state at the folders and opens the standard database, as start-up does.
    void openInto(AppState& state) const {
        state.folders = WorkingFolders::fromProgramFolder(programFolder(), QString(), systemTemp());
        state.reloadCatalogue();
        SilentMessages silent;
        EXPECT_TRUE(OpenDatabase(state, QStringLiteral("Database.ini"), silent));
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

private:
    struct Saved {
        const char* name;
        bool was;
        QByteArray value;
    };
    TempProgramFolder m_program;
    TempProgramFolder m_home;
    TempProgramFolder m_temp;
    std::vector<Saved> m_saved;
};
