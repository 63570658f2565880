#include "shell/forms/TMainForm.h"

#include "common/Messages.h"
#include "database/AddressTable.h"
#include "database/Catalogue.h"
#include "database/forms/DatabaseDialogs.h"
#include "platform/UserFolders.h"
#include "shell/Startup.h"
#include "shell/StatusCountText.h"
#include "shell/WindowPlacement.h"
#include "shell/forms/AddressGridModel.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

struct MenuEntry {
    const char* name;
    const char* caption;
    QKeySequence key;
    bool checkable = false;
};

struct MenuDef {
    const char* title;
    std::vector<MenuEntry> entries;
};

// The main menu, in the order the user sees it.
std::vector<MenuDef> mainMenu() {
    const QKeySequence none;
    return {
        {"&Programm",
         {{"SerienEmailschreiben1", "Serien-E-Mail schreiben", QKeySequence(Qt::Key_F2)},
          {"Options", "Optionen", none},
          {"DatenstzeImportieren1", "Datensätze importieren", none},
          {"Datenstzeexportieren1", "Datensätze exportieren", none},
          {"Beenden1", "Beenden", QKeySequence(Qt::ALT | Qt::Key_X)}}},
        {"&Bearbeiten",
         {{"NewRec", "&Neuen Datensatz eingeben", QKeySequence(Qt::Key_F5)},
          {"EditRec", "&Bearbeite vorhandenen Datensatz", QKeySequence(Qt::Key_F4)},
          {"DeleteRec", "&Lösche vorhandenen Datensatz", QKeySequence(Qt::Key_F8)},
          {"Suchen1", "&Suche in Datenbank", QKeySequence(Qt::Key_F3)}}},
        {"&Spezial",
         {{"Filter1", "&Filter", QKeySequence(Qt::Key_F6)},
          {"Platzhalter", "Platzhalter anzeigen", none},
          {"BearbeitenimGrid1", "&Datensätze in der Tabelle bearbeiten", none, true},
          {"LogDateimitzuletztversendetenEmails1", "Log Datei mit zuletzt versendeten E-Mails",
           none},
          {"OutlookmitderselektiertenEmailstarten1",
           "Standardmailer mit der selektierten E-Mail starten", none},
          {"BCCinsClipbord1", "Markierte E-Mails ins Clipbord kopieren", none},
          {"N250erBCCStringinDateien", "E-Mails in Datei(en) kopieren. 250 Mails pro Datei", none},
          {"MarkierenvonIDbisID1", "Markieren von ID bis ID", none},
          {"MarkierenallerDatenstzemitbestimmtenWortlaut1",
           "Alle Datensätze mit bestimmten Text markieren", none},
          {"AlleInvalidzurcksetzen1", "Alle Invalid zurücksetzen", none},
          {"Spalteninhaltlschensetzen1", "Spalteninhalt löschen/setzen", none}}},
        {"Grußformel", {{"Grussormel1", "Grußformel", none}}},
        {"&Prüfung",
         {{"EmailAdressenaufGltigkeitberprfen2", "E-Mail-Adressen auf Gültigkeit überprüfen", none},
          {"TransactionlogwrdendesMailversandes1", "Transaction.log während des Mailversandes",
           none, true},
          {"NachdoppeltenEmailadressenprfen1", "Eingabeprüfung E-Mail-Adresse", none, true},
          {"DatenbankWartung1", "Datenbank Wartung/Reparatur", none}}},
        {"&Löschen",
         {{"AllemarkiertenDatenstzelschen2", "Alle markierten Datensätze löschen", none},
          {"DoppelteEmailAdressenlschen1", "Doppelte E-Mail-Adressen löschen", none},
          {"SelektivesLschendoppelterDatenstze1", "Selektives Löschen doppelter Datensätze", none},
          {"Datenbankkomplettleeren1", "Datenbank komplett leeren", none},
          {"AlleinvalidenDatenstzelschen1", "Alle invaliden Datensätze löschen", none}}},
        {"Datensicherung",
         {{"Backup2", "Datenbank(en) sichern", none},
          {"Restore1", "Datenbank(en) wiederherstellen", none}}},
        {"Datenbanken",
         {{"Datenbankffnen2", "Datenbank öffnen", QKeySequence(Qt::Key_F12)},
          {"NeueDatenbankerzeugen1", "Neue frei definierbare Datenbank erzeugen", none},
          {"Datenbanklschen2", "Datenbank löschen", none},
          {"Datentransfer1", "Datentransfer zwischen den Datenbanken", none}}},
        {"Mehrplatz",
         {{"BetriebsanleitungMehrplatzversion1", "Mehrplatzversion einrichten", none}}},
        {"Web u. Newsletter",
         {{"NeueEintrageabholen1", "Bestellungen/Abbestellungen von Ihrer Internetseite abholen",
           QKeySequence(Qt::Key_F10)},
          {"Links1", "Links zu Statistik und Bestell-Datenbank", QKeySequence(Qt::Key_F11)},
          {"Bestellformular1", "Automatisches Abholen von Bestellungen einrichten", none},
          {"Newsletterstatistikeinrichten1", "Newslettertracking einrichten", none}}},
        {"&Hilfe",
         {{"Hilfedatei1", "&Hilfedatei", QKeySequence(Qt::Key_F1)},
          {"NachUpdatessuchen1", "beim Programmstart auf Update prüfen", none, true},
          {"Update1", "Jetzt auf Updates überprüfen", none},
          {"Info1", "&Info", none}}},
    };
}

// Entries whose function exists; every other entry is shown disabled until it does.
// The two web entries follow the open database's web settings instead.
const char* const workingEntries[] = {
    "Beenden1",
    "BearbeitenimGrid1",
    "OutlookmitderselektiertenEmailstarten1",
    "TransactionlogwrdendesMailversandes1",
    "NachdoppeltenEmailadressenprfen1",
    "DatenbankWartung1",
    "Datenbankffnen2",
    "NeueDatenbankerzeugen1",
    "Datenbanklschen2",
    "Hilfedatei1",
    "Info1",
};

// Counts the boxes shown through the facade, so the activation check knows whether
// it reported something.
class CountingMessages : public Messages {
public:
    explicit CountingMessages(Messages& inner) : m_inner(inner) {}
    void information(const QString& t) override {
        ++shown;
        m_inner.information(t);
    }
    void error(const QString& t) override {
        ++shown;
        m_inner.error(t);
    }
    bool question(const QString& t) override {
        ++shown;
        return m_inner.question(t);
    }
    Answer questionYesNoAbort(const QString& t) override {
        ++shown;
        return m_inner.questionYesNoAbort(t);
    }
    int shown = 0;

private:
    Messages& m_inner;
};

QToolButton* toolButton(QWidget* parent, const char* name, const QString& text, const QString& hint,
                        const QIcon& icon) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setToolTip(hint);
    b->setAutoRaise(true);
    // Icon only where there is one; the text then is the hint's short form.
    if (!icon.isNull()) {
        b->setIcon(icon);
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    return b;
}

QString programName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

const QString windowName = QStringLiteral("MainForm");

} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(windowName);
    setWindowTitle(Startup::productName());
    setMinimumSize(994, 673);
    // Designed placement: used for edges a stored placement does not give.
    setGeometry(8, 8, 1010, 700);
    buildMenu();
    buildControls();
    m_databaseDialogs = new DatabaseDialogs(m_state, this);
    connectActions();
    runStartup();
}

TMainForm::~TMainForm() {
    savePlacement();
    // Everything that refers to the hub goes before the hub itself: the grid lets go of
    // the table, and the dialogs holding the state are deleted.
    disconnect(m_grid->selectionModel(), nullptr, this, nullptr);
    m_model->setTable(nullptr);
    delete m_databaseDialogs;
    m_databaseDialogs = nullptr;
}

QAction* TMainForm::action(const char* objectName) const {
    return findChild<QAction*>(QString::fromLatin1(objectName));
}

void TMainForm::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    for (const MenuDef& def : mainMenu()) {
        QMenu* menu = bar->addMenu(u(def.title));
        for (const MenuEntry& e : def.entries) {
            QAction* a = menu->addAction(u(e.caption));
            a->setObjectName(QString::fromLatin1(e.name));
            a->setShortcut(e.key);
            a->setCheckable(e.checkable);
            a->setEnabled(false);
        }
    }
    for (const char* name : workingEntries)
        action(name)->setEnabled(true);
}

void TMainForm::buildControls() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("CentralPanel"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    // Header picture.
    auto* panel1 = new QFrame(central);
    panel1->setObjectName(QStringLiteral("Panel1"));
    auto* panel1Layout = new QHBoxLayout(panel1);
    panel1Layout->setContentsMargins(0, 0, 0, 0);
    m_headerImage = new QLabel(panel1);
    m_headerImage->setObjectName(QStringLiteral("Image1"));
    m_headerImage->setMinimumHeight(40);
    panel1Layout->addWidget(m_headerImage);
    panel1Layout->addStretch();
    layout->addWidget(panel1);

    // Tool bar.
    auto* controlBar = new QFrame(central);
    controlBar->setObjectName(QStringLiteral("ControllBar1"));
    controlBar->setFrameShape(QFrame::StyledPanel);
    auto* barLayout = new QHBoxLayout(controlBar);
    barLayout->setContentsMargins(4, 2, 4, 2);

    QStyle* st = style();
    auto icon = [st](const char* theme, QStyle::StandardPixmap fallback) {
        return QIcon::fromTheme(QLatin1String(theme), st->standardIcon(fallback));
    };
    auto* mainTools = new QWidget(controlBar);
    mainTools->setObjectName(QStringLiteral("MainToolPanel"));
    auto* mainToolsLayout = new QHBoxLayout(mainTools);
    mainToolsLayout->setContentsMargins(0, 0, 0, 0);
    mainToolsLayout->addWidget(toolButton(mainTools, "ToolButton3", u("Senden"),
                                          u("Serien-E-Mail senden (F2)"),
                                          icon("mail-send", QStyle::SP_ArrowForward)));
    mainToolsLayout->addWidget(toolButton(mainTools, "SearchTB", u("Suchen"), u("Datensatz suchen"),
                                          icon("edit-find", QStyle::SP_FileDialogContentsView)));
    mainToolsLayout->addWidget(toolButton(mainTools, "ToolButton2", u("Filter"),
                                          u("Filtereinstellungen"),
                                          icon("view-filter", QStyle::SP_FileDialogDetailedView)));
    mainToolsLayout->addWidget(toolButton(mainTools, "ToolButton1", u("Text markieren"),
                                          u("Alle Datensätze mit bestimmten Text markieren"),
                                          icon("edit-select-all", QStyle::SP_DialogApplyButton)));
    mainToolsLayout->addWidget(toolButton(mainTools, "FilterBtn", u("Filter an/aus"),
                                          u("Gewählten Filter einschalten (F9)"),
                                          icon("view-refresh", QStyle::SP_BrowserReload)));
    barLayout->addWidget(mainTools);

    auto* toolBar2 = new QWidget(controlBar);
    toolBar2->setObjectName(QStringLiteral("ToolBar2"));
    auto* toolBar2Layout = new QHBoxLayout(toolBar2);
    toolBar2Layout->setContentsMargins(0, 0, 0, 0);
    m_viewMode = new QComboBox(toolBar2);
    m_viewMode->setObjectName(QStringLiteral("ComboBox1"));
    m_viewMode->setMaxVisibleItems(30);
    m_viewMode->setMinimumWidth(200);
    m_viewMode->setToolTip(u("Filtern der Datenbank nach vorgegeben Kriterien"));
    toolBar2Layout->addWidget(m_viewMode);
    barLayout->addWidget(toolBar2);

    auto* toolBar1 = new QWidget(controlBar);
    toolBar1->setObjectName(QStringLiteral("ToolBar1"));
    auto* toolBar1Layout = new QHBoxLayout(toolBar1);
    toolBar1Layout->setContentsMargins(0, 0, 0, 0);
    toolBar1Layout->addWidget(toolButton(toolBar1, "SelectAllTB", u("Alle markieren"),
                                         u("alle Adressen markieren"),
                                         icon("checkbox", QStyle::SP_DialogYesButton)));
    toolBar1Layout->addWidget(toolButton(toolBar1, "UnselectAllTB", u("Alle unmarkieren"),
                                         u("alle Adressen unmarkieren"),
                                         icon("edit-clear", QStyle::SP_DialogNoButton)));
    barLayout->addWidget(toolBar1);

    barLayout->addStretch();
    m_statusPanel = new QLabel(controlBar);
    m_statusPanel->setObjectName(QStringLiteral("StatusPanel"));
    m_statusPanel->setMinimumWidth(140);
    m_statusPanel->setAlignment(Qt::AlignCenter);
    m_statusPanel->setFrameShape(QFrame::StyledPanel);
    barLayout->addWidget(m_statusPanel);
    auto* first = toolButton(controlBar, "FirstButton", u("Erster"), u("erster Datensatz"),
                             st->standardIcon(QStyle::SP_MediaSkipBackward));
    auto* last = toolButton(controlBar, "LastButton", u("Letzter"), u("letzter Datensatz"),
                            st->standardIcon(QStyle::SP_MediaSkipForward));
    first->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    last->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    barLayout->addWidget(first);
    barLayout->addWidget(last);
    connect(first, &QToolButton::clicked, this, &TMainForm::moveToFirst);
    connect(last, &QToolButton::clicked, this, &TMainForm::moveToLast);
    for (auto* b : controlBar->findChildren<QToolButton*>()) {
        if (b != first && b != last)
            b->setEnabled(false);
    }
    m_viewMode->setEnabled(false);
    layout->addWidget(controlBar);

    // Title of the grid.
    auto* panel2 = new QFrame(central);
    panel2->setObjectName(QStringLiteral("Panel2"));
    auto* panel2Layout = new QHBoxLayout(panel2);
    panel2Layout->setContentsMargins(6, 2, 6, 2);
    m_databaseLabel = new QLabel(u("Geöffnete Datenbank: "), panel2);
    m_databaseLabel->setObjectName(QStringLiteral("DatabaseLabel"));
    QFont labelFont = m_databaseLabel->font();
    labelFont.setBold(true);
    m_databaseLabel->setFont(labelFont);
    panel2Layout->addWidget(m_databaseLabel);
    layout->addWidget(panel2);

    // The address grid.
    m_model = new AddressGridModel(this);
    m_grid = new QTableView(central);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setModel(m_model);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setShowGrid(true);
    m_grid->setWordWrap(false);
    m_grid->setToolTip(u("Klicken Sie doppelt auf die Spalte \"Selected\" um die Adressen zu "
                         "markieren an die Sie ein eMail versenden wollen."));
    // Fixed row heights: the view then never measures rows, whatever their number.
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    m_grid->verticalHeader()->setFixedWidth(14);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_grid->horizontalHeader()->setHighlightSections(true);
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    m_gridPopup = new QMenu(m_grid);
    m_gridPopup->setObjectName(QStringLiteral("DBGridPopupMenu"));
    QAction* outlook = m_gridPopup->addAction(u("Outlook mit der selektierten Email starten"));
    outlook->setObjectName(QStringLiteral("OutlookStarten"));
    QAction* copyCell = m_gridPopup->addAction(u("Ausdruck ins Clipboard kopieren"));
    copyCell->setObjectName(QStringLiteral("CopyDBGridToClipboard"));
    connect(outlook, &QAction::triggered, this, &TMainForm::startMailProgram);
    connect(copyCell, &QAction::triggered, this, &TMainForm::copyFocusedCell);
    connect(m_grid, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        m_gridPopup->popup(m_grid->viewport()->mapToGlobal(pos));
    });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                AddressTable* table = m_state.currentTable();
                if (m_syncing || !table || !current.isValid())
                    return;
                m_syncing = true;
                table->moveTo(current.row());
                m_syncing = false;
            });
    layout->addWidget(m_grid, 1);

    // Record buttons.
    auto* bottom = new QFrame(central);
    bottom->setObjectName(QStringLiteral("BottomButtonsPanel"));
    auto* bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->setContentsMargins(4, 2, 4, 2);
    const std::pair<const char*, const char*> buttons[] = {
        {"NewBitBtn", "Neuer Datensatz (F5)"},      {"EditBitBtn", "Datensatz bearbeiten (F4)"},
        {"DeleteBitBtn", "Datensatz löschen (F8)"}, {"MailBitBtn", "Serien-E-Mail senden (F2)"},
        {"ImportBitBtn", "Datensatz suchen (F3)"},  {"OpenModeBitBtn", "DB öffnen (F12)"},
    };
    for (const auto& [name, caption] : buttons) {
        auto* b = new QPushButton(u(caption), bottom);
        b->setObjectName(QString::fromLatin1(name));
        b->setEnabled(false);
        bottomLayout->addWidget(b);
    }
    m_openModeButton = bottom->findChild<QPushButton*>(QStringLiteral("OpenModeBitBtn"));
    m_openModeButton->setEnabled(true);
    m_openModeButton->setVisible(false);
    bottomLayout->addStretch();
    layout->addWidget(bottom);

    setCentralWidget(central);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
}

void TMainForm::connectActions() {
    connect(action("Beenden1"), &QAction::triggered, this, &QWidget::close);
    connect(action("Datenbankffnen2"), &QAction::triggered, m_databaseDialogs,
            &DatabaseDialogs::openViaDialog);
    connect(m_openModeButton, &QPushButton::clicked, m_databaseDialogs,
            &DatabaseDialogs::openViaDialog);
    connect(action("NeueDatenbankerzeugen1"), &QAction::triggered, m_databaseDialogs,
            &DatabaseDialogs::createViaDialog);
    connect(action("Datenbanklschen2"), &QAction::triggered, m_databaseDialogs,
            &DatabaseDialogs::deleteViaDialog);
    connect(action("DatenbankWartung1"), &QAction::triggered, m_databaseDialogs,
            &DatabaseDialogs::maintain);
    connect(action("Hilfedatei1"), &QAction::triggered, this, &TMainForm::openHelp);
    connect(action("Info1"), &QAction::triggered, this, &TMainForm::showInfo);
    connect(action("OutlookmitderselektiertenEmailstarten1"), &QAction::triggered, this,
            &TMainForm::startMailProgram);
    connect(action("NachdoppeltenEmailadressenprfen1"), &QAction::toggled, this,
            &TMainForm::setCheckDuplicates);
    connect(action("TransactionlogwrdendesMailversandes1"), &QAction::toggled, this,
            &TMainForm::setTransactionLog);
    connect(action("BearbeitenimGrid1"), &QAction::toggled, this, &TMainForm::setGridEditMode);

    connect(&m_state, &AppState::databaseOpened, this, &TMainForm::onDatabaseOpened);
    connect(&m_state, &AppState::databaseClosed, this, &TMainForm::onDatabaseClosed);
    connect(&m_state, &AppState::catalogueChanged, this, &TMainForm::updateMultiDatabaseControls);
    // Coming back from another program is a genuine activation again.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s != Qt::ApplicationActive)
            m_activationReported = false;
    });
}

// Start-up steps, in their order; the single-instance check ran before in main().
void TMainForm::runStartup() {
    Messages& messages = Messages::instance();

    // Program folder, with every shipped file that is missing laid out into it.
    const QString programFolder =
        Startup::resolveProgramFolder(QCoreApplication::applicationDirPath());
    const QStringList missing = Startup::layOutShippedFiles(programFolder);
    if (!missing.isEmpty())
        messages.error(u("Folgende Programmdateien fehlen in ") + programFolder +
                       u(" und konnten nicht angelegt werden:\r") + missing.join(QChar('\r')));

    // The table engine needs no control folders: SQLite keeps everything in its files.

    restorePlacement();

    const Startup::ShellConfig config = Startup::readShellConfig(programFolder);
    m_state.checkDuplicatesOnInput = config.checkDuplicatesOnInput;
    {
        const QSignalBlocker block(action("NachdoppeltenEmailadressenprfen1"));
        action("NachdoppeltenEmailadressenprfen1")->setChecked(config.checkDuplicatesOnInput);
    }

    m_state.folders = WorkingFolders::fromProgramFolder(
        programFolder, UserFolders::documentsFolder(), UserFolders::systemTempFolder());

    setWindowTitle(Startup::productName());
    const QStringList pictures =
        QDir(m_state.folders.recomFolder)
            .entryList({QStringLiteral("*.png"), QStringLiteral("*.bmp"), QStringLiteral("*.jpg")},
                       QDir::Files, QDir::Name);
    if (!pictures.isEmpty())
        m_headerImage->setPixmap(QPixmap(m_state.folders.recomFolder + pictures.first()));

    QFont gridFont(QStringLiteral("Microsoft Sans Serif"), 8);
    gridFont.setStyleHint(QFont::SansSerif);
    m_grid->setFont(gridFont);
    m_grid->horizontalHeader()->setFont(gridFont);

    m_state.reloadCatalogue();
    m_trueBitmap = QPixmap(m_state.folders.imagesFolder + QStringLiteral("True.bmp"));
    m_falseBitmap = QPixmap(m_state.folders.imagesFolder + QStringLiteral("False.bmp"));

    updateMultiDatabaseControls();

    if (!Startup::clearStaleLockFiles(m_state.folders.dataFolder, messages)) {
        m_startupAborted = true;
        return;
    }

    const QString definition = readLastOpenDatabase(programFolder);
    if (!definition.isEmpty())
        OpenDatabase(m_state, definition, messages);

    Startup::refreshUserTemplates(m_state.folders.templatesFolder,
                                  m_state.folders.userTemplatesFolder);

    // No Outlook automation on this platform: OutlookAvailable stays false.
    m_state.outlookAvailable = false;

    if (config.transactionLogEnabled)
        action("TransactionlogwrdendesMailversandes1")->setChecked(true);
    if (config.gridEditMode)
        action("BearbeitenimGrid1")->setChecked(true);
}

void TMainForm::restorePlacement() {
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QSettings settings(QStringLiteral("NORVALE"), QString());
    const StoredPlacement stored =
        Placement::read(settings, programName(), windowName, screen->geometry().size());
    if (!stored.error.isEmpty()) {
        Messages::instance().error(stored.error);
        return;
    }
    WindowPlacement current;
    current.normal = geometry();
    current.formState = WindowPlacement::Normal;
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const WindowPlacement placement =
        Placement::restore(current, stored, screen->geometry(), screen->availableGeometry(), frame);
    setGeometry(placement.normal);
    if (placement.formState == WindowPlacement::Maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TMainForm::savePlacement() {
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    WindowPlacement placement;
    const Qt::WindowStates ws = windowState();
    placement.formState = ws.testFlag(Qt::WindowMinimized)   ? WindowPlacement::Minimized
                          : ws.testFlag(Qt::WindowMaximized) ? WindowPlacement::Maximized
                                                             : WindowPlacement::Normal;
    placement.normal = (ws & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
                           ? normalGeometry()
                           : geometry();
    if (!placement.normal.isValid())
        placement.normal = geometry();
    QSettings settings(QStringLiteral("NORVALE"), QString());
    const QString error =
        Placement::write(settings, programName(), windowName, screen->geometry().size(), placement);
    if (!error.isEmpty())
        Messages::instance().error(error);
}

void TMainForm::updateMultiDatabaseControls() {
    // Header plus at least two databases.
    const bool several = m_state.catalogueLines.size() > 2;
    m_openModeButton->setVisible(several);
    action("Datenbankffnen2")->setEnabled(several);
    action("Datenbanklschen2")->setEnabled(several);
    // The transfer between databases is not built yet; it stays off until it is.
    action("Datentransfer1")->setEnabled(false);
}

void TMainForm::onDatabaseOpened() {
    for (const auto& c : m_tableConnections)
        disconnect(c);
    m_tableConnections.clear();
    AddressTable* table = m_state.currentTable();
    m_model->setTable(table);
    if (table) {
        m_tableConnections
            << connect(table, &AddressTable::afterOpen, this, &TMainForm::refreshStatusCount)
            << connect(table, &AddressTable::afterPost, this, &TMainForm::refreshStatusCount)
            << connect(table, &AddressTable::viewReset, this, [this]() { syncGridToTable(-1); })
            << connect(table, &AddressTable::currentChanged, this, &TMainForm::syncGridToTable);
        QHeaderView* header = m_grid->horizontalHeader();
        // Widths from the declared text sizes, never narrower than the title.
        const QFontMetrics metrics(m_grid->font());
        for (int i = 0; i < table->fieldCount(); ++i) {
            const ColumnDef& column = table->columns().at(i);
            const int chars = column.type == FieldType::Date ? 10 : qBound(4, column.size, 40);
            header->resizeSection(
                i, qMax(metrics.averageCharWidth() * chars,
                        QFontMetrics(header->font()).horizontalAdvance(column.name)) +
                       16);
        }
        syncGridToTable(-1);
    }
    m_databaseLabel->setText(u("Geöffnete Datenbank: ") + m_state.displayName);
    action("Links1")->setEnabled(m_state.webLinksEnabled);
    action("NeueEintrageabholen1")->setEnabled(m_state.webFetchEnabled);
    refreshStatusCount();
    m_grid->setFocus();
}

void TMainForm::onDatabaseClosed() {
    for (const auto& c : m_tableConnections)
        disconnect(c);
    m_tableConnections.clear();
    m_model->setTable(nullptr);
    refreshStatusCount();
}

// Puts the grid's current row on the table's current record; -1 asks the table.
void TMainForm::syncGridToTable(qint64 row) {
    AddressTable* table = m_state.currentTable();
    if (m_syncing || !table)
        return;
    if (row < 0)
        row = table->recNo();
    if (row < 0 || row >= m_model->rowCount())
        return;
    m_syncing = true;
    const int column = qMax(0, m_grid->currentIndex().column());
    const QModelIndex index = m_model->index(int(row), column);
    m_grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_grid->scrollTo(index);
    m_syncing = false;
}

bool TMainForm::requireTable() {
    if (m_state.hasOpenTable())
        return true;
    Messages::instance().information(u("Zuerst Datenbank öffnen!"));
    return false;
}

void TMainForm::refreshStatusCount() {
    m_statusPanel->setText(StatusCountText(m_state));
}

void TMainForm::setProgressText(const QString& text) {
    if (text.isEmpty())
        statusBar()->clearMessage();
    else
        statusBar()->showMessage(text);
}

void TMainForm::writeFlag(const char* key, bool on) {
    if (m_state.folders.programFolder.isEmpty())
        return;
    if (!Startup::writeShellFlag(m_state.folders.programFolder, key, on))
        Messages::instance().error(u("Die Datei ") +
                                   Startup::configPath(m_state.folders.programFolder) +
                                   u(" konnte nicht geschrieben werden!"));
}

void TMainForm::setCheckDuplicates(bool on) {
    m_state.checkDuplicatesOnInput = on;
}

void TMainForm::setTransactionLog(bool on) {
    m_state.transactionLogEnabled = on;
    writeFlag(Startup::keyTransActLog, on);
}

void TMainForm::setGridEditMode(bool on) {
    m_state.gridEditMode = on;
    QPalette palette = m_grid->palette();
    palette.setColor(QPalette::Text, on ? QColor(Qt::blue) : QColor(Qt::black));
    m_grid->setPalette(palette);
    writeFlag(Startup::keyGridEdit, on);
    m_grid->setFocus();
}

void TMainForm::moveToFirst() {
    if (!requireTable())
        return;
    m_state.currentTable()->first();
    syncGridToTable(-1);
}

void TMainForm::moveToLast() {
    if (!requireTable())
        return;
    m_state.currentTable()->last();
    syncGridToTable(-1);
}

void TMainForm::openHelp() {
    const QString page = m_state.folders.helpFolder + QStringLiteral("help.html");
    if (!QFileInfo::exists(page)) {
        Messages::instance().error(u("Die Hilfedatei ") + QDir::toNativeSeparators(page) +
                                   u(" wurde nicht gefunden!"));
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(page));
}

void TMainForm::showInfo() {
    Messages::instance().information(Startup::productName() + u("\rVersion ") +
                                     Startup::productVersion() +
                                     u("\r\rSerien-E-Mails an die Adressen Ihrer Datenbanken"));
}

void TMainForm::startMailProgram() {
    if (!requireTable())
        return;
    const QString mail = m_state.currentTable()->asString(QStringLiteral("Mail")).trimmed();
    // The address is handed over as the URL's path, never pasted into a command line.
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(mail.toLower());
    QDesktopServices::openUrl(url);
}

void TMainForm::copyFocusedCell() {
    const QModelIndex index = m_grid->currentIndex();
    if (!index.isValid())
        return;
    QApplication::clipboard()->setText(index.data(Qt::DisplayRole).toString());
}

bool TMainForm::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        runActivationCheck();
    return QMainWindow::event(event);
}

void TMainForm::runActivationCheck() {
    if (m_startupAborted || m_shutDown || m_state.folders.programFolder.isEmpty())
        return;
    // Our own boxes activate the window again while and after they close.
    if (m_inActivationCheck)
        return;
    if (m_activationReported) {
        m_activationReported = false;
        return;
    }
    m_inActivationCheck = true;
    CountingMessages counting(Messages::instance());
    m_state.firstSettingsDone = Startup::checkActivation(m_state.folders.programFolder, counting);
    m_inActivationCheck = false;
    m_activationReported = counting.shown > 0;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (m_shutDown || shutdown())
        event->accept();
    else
        event->ignore();
}

// Shutdown in its order; false keeps the program running.
bool TMainForm::shutdown() {
    if (AddressTable* table = m_state.currentTable()) {
        if (table->state() == AddressTable::State::Edit ||
            table->state() == AddressTable::State::Insert) {
            QString error;
            if (!table->post(&error)) {
                if (!Messages::instance().question(
                        u("Der bearbeitete Datensatz konnte nicht gespeichert werden:\r") + error +
                        u("\r\rTrotzdem beenden? Die Änderung geht dann verloren.")))
                    return false;
                table->cancel();
            }
        }
    }
    writeFlag(Startup::keyCheckdoublettes, m_state.checkDuplicatesOnInput);
    // Where the grid layout of the open database gets saved.
    if (m_state.hasOpenTable())
        m_state.notifyAboutToClose();
    m_shutDown = true;
    return true;
}
