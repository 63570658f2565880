#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class AddressTable;

// Working folders; every path is absolute and ends with "/".
struct WorkingFolders {
    QString programFolder;
    QString dataFolder;
    QString exportFolder;
    QString helpFolder;
    QString imagesFolder;
    QString templatesFolder;
    QString lettersFolder;
    QString tempFolder;
    QString systemTempFolder;
    QString userTemplatesFolder;
    QString recomFolder; // header pictures

    // Forms every folder from the program folder and the user's documents folder.
    static WorkingFolders fromProgramFolder(const QString& programFolder,
                                            const QString& documentsFolder,
                                            const QString& systemTemp);
};

// Appends "/" by the one rule used everywhere: empty stays empty, anything else gets
// "/" unless it already ends with one (or with a backslash).
QString withTrailingSlash(const QString& path);

// Tracking state of the open database, read from its web settings file.
struct TrackingState {
    QString statsAddress;
    QString password;
    bool onByDefault = false;
};

// The hub of the running program: working folders, shell flags, the catalogue and
// the open database with its current table and definition lines. The main window
// shows it; engine code takes an AppState& instead of reaching for a window.
class AppState : public QObject {
    Q_OBJECT
public:
    explicit AppState(QObject* parent = nullptr);
    ~AppState() override;

    WorkingFolders folders;

    // Shell flags.
    bool checkDuplicatesOnInput = true;
    bool transactionLogEnabled = false;
    bool gridEditMode = false;
    bool outlookAvailable = false;
    bool firstSettingsDone = false;

    // Catalogue: the lines of Buttons.ini, header included.
    QStringList catalogueLines;
    bool reloadCatalogue();             // from folders.programFolder + "Buttons.ini"
    int catalogueDatabaseCount() const; // entry lines (header excluded)
    QString cataloguePath() const { return folders.programFolder + QStringLiteral("Buttons.ini"); }

    // Open database.
    QString definitionName; // e.g. "Database.ini"; empty when none was opened
    QString displayName;
    std::vector<std::unique_ptr<AddressTable>> tables;
    QString currentTablePath;
    QStringList proLines;
    QStringList filLines;
    QStringList cbLines;
    bool webLinksEnabled = false; // "Links zu Statistik und Bestell-Datenbank"
    bool webFetchEnabled = false; // "Bestellungen/Abbestellungen ... abholen"
    TrackingState tracking;

    AddressTable* currentTable() const; // nullptr when none is open
    bool hasOpenTable() const;
    // Definition base name: definitionName up to its first ".".
    QString definitionBaseName() const;

    // Count of marked records kept for the send run.
    qint64 markedCountForSend = 0;

    // Account values the composer and the preview use: the SSL switch and character
    // set index of the settings loaded last, and the sender list saved last (the
    // composer offers its lines, the first one selected).
    bool sslActive = false;
    int codeSetIndex = 0;
    QStringList senderLines;
    void notifySenderListChanged() { Q_EMIT senderListChanged(); }

    // Emitted by OpenDatabase/CloseDatabase so windows can save and load grid layouts
    // and refresh what they show.
    void notifyAboutToClose() { Q_EMIT databaseAboutToClose(); }
    void notifyOpened() { Q_EMIT databaseOpened(); }
    void notifyClosed() { Q_EMIT databaseClosed(); }
    void notifyCatalogueChanged() { Q_EMIT catalogueChanged(); }

Q_SIGNALS:
    void databaseAboutToClose();
    void databaseOpened();
    void databaseClosed();
    void catalogueChanged();
    void senderListChanged();
};
