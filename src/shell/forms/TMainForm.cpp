#include "shell/forms/TMainForm.h"

#include "common/FileNames.h"
#include "common/IniFile.h"
#include "common/Messages.h"
#include "common/Texts.h"
#include "compose/Merge.h"
#include "compose/forms/CompositionWizard.h"
#include "compose/forms/TGrussformelForm.h"
#include "compose/forms/THTMLImportForm.h"
#include "compose/forms/TMailerForm.h"
#include "database/AddressTable.h"
#include "database/Catalogue.h"
#include "database/DatabaseDefinition.h"
#include "database/SystemColumns.h"
#include "database/forms/DatabaseDialogs.h"
#include "database/forms/TBackupForm.h"
#include "database/forms/TMigrationForm.h"
#include "exchange/forms/ExportActions.h"
#include "exchange/forms/ImportActions.h"
#include "hygiene/forms/HygieneActions.h"
#include "platform/DocumentOpener.h"
#include "platform/UserFolders.h"
#include "records/Marking.h"
#include "send/forms/TFTryconnection.h"
#include "send/forms/TLogForm.h"
#include "settings/forms/TOptionsForm.h"
#include "shell/GridSetup.h"
#include "shell/Startup.h"
#include "shell/StatusCountText.h"
#include "shell/WindowPlacement.h"
#include "shell/forms/AddressGridDelegate.h"
#include "shell/forms/AddressGridModel.h"
#include "shell/forms/BusyCursor.h"
#include "shell/forms/HelpPage.h"
#include "shell/forms/TDeleteColumnForm.h"
#include "shell/forms/TDoIDForm.h"
#include "shell/forms/TFilter2Form.h"
#include "shell/forms/TFilterForm.h"
#include "shell/forms/TKRT_DB_SearchForm.h"
#include "web/UnsubscribeLink.h"
#include "web/forms/TEnterpriseOptionsForm.h"
#include "web/forms/WebSyncActions.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>

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
          {"Datentransfer1", "Datentransfer zwischen den Datenbanken", none},
          {"Ruecklaeuferauswerten1", "Unzustellbare E-Mails (Rückläufer) auswerten", none}}},
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
    "SerienEmailschreiben1",
    "Beenden1",
    "NewRec",
    "EditRec",
    "DeleteRec",
    "Suchen1",
    "Filter1",
    "BearbeitenimGrid1",
    "LogDateimitzuletztversendetenEmails1",
    "OutlookmitderselektiertenEmailstarten1",
    "TransactionlogwrdendesMailversandes1",
    "MarkierenvonIDbisID1",
    "MarkierenallerDatenstzemitbestimmtenWortlaut1",
    "AlleInvalidzurcksetzen1",
    "Spalteninhaltlschensetzen1",
    "NachdoppeltenEmailadressenprfen1",
    "DatenbankWartung1",
    "Datenbankffnen2",
    "NeueDatenbankerzeugen1",
    "Datenbanklschen2",
    "Hilfedatei1",
    "Info1",
    "EmailAdressenaufGltigkeitberprfen2",
    "AllemarkiertenDatenstzelschen2",
    "DoppelteEmailAdressenlschen1",
    "DatenstzeImportieren1",
    "Datenstzeexportieren1",
    "BCCinsClipbord1",
    "N250erBCCStringinDateien",
    "SelektivesLschendoppelterDatenstze1",
    "Datenbankkomplettleeren1",
    "AlleinvalidenDatenstzelschen1",
    "Options",
    "Grussormel1",
    "Platzhalter",
    "Backup2",
    "Restore1",
    "Datentransfer1",
    "Newsletterstatistikeinrichten1",
    "BetriebsanleitungMehrplatzversion1",
    "Bestellformular1",
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
    bool destructiveQuestion(const QString& t) override {
        ++shown;
        return m_inner.destructiveQuestion(t);
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

bool isFlagField(const QString& name) {
    return name.compare(SystemColumns::Selected, Qt::CaseInsensitive) == 0 ||
           name.compare(SystemColumns::Invalid, Qt::CaseInsensitive) == 0;
}

// Width of a column without a saved one: from the declared text size, never narrower
// than the title.
int defaultColumnWidth(const ColumnDef& column, const QString& title, const QFont& cellFont,
                       const QFont& titleFont) {
    int chars = qBound(4, column.size, 40);
    switch (column.type) {
    case FieldType::Date:
        chars = 10;
        break;
    case FieldType::Integer:
    case FieldType::AutoInc:
    case FieldType::Time:
        chars = 8;
        break;
    case FieldType::Float:
    case FieldType::Currency:
        chars = 12;
        break;
    default:
        break;
    }
    return qMax(QFontMetrics(cellFont).averageCharWidth() * chars,
                QFontMetrics(titleFont).horizontalAdvance(title)) +
           16;
}

QString programName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

const QString windowName = QStringLiteral("MainForm");

} // namespace

TMainForm::TMainForm(AppState& state, QWidget* parent) : QMainWindow(parent), m_state(state) {
    setObjectName(windowName);
    setWindowTitle(Startup::productName());
    setMinimumSize(994, 673);
    // Designed placement: used for edges a stored placement does not give.
    setGeometry(8, 8, 1010, 700);
    buildMenu();
    buildControls();
    m_databaseDialogs = new DatabaseDialogs(m_state.session, this);
    connectActions();
    showStartedState();
}

TMainForm::~TMainForm() {
    savePlacement();
    // Everything that refers to the hub goes before the hub itself: the grid lets go of
    // the table, and the dialogs holding the state are deleted.
    disconnect(m_grid->selectionModel(), nullptr, this, nullptr);
    m_model->setTable(nullptr);
    delete m_databaseDialogs;
    m_databaseDialogs = nullptr;
    delete m_searchForm;
    delete m_filterForm;
    delete m_editForm;
    delete m_columnForm;
    m_searchForm = nullptr;
    m_filterForm = nullptr;
    m_editForm = nullptr;
    m_columnForm = nullptr;
}

QAction* TMainForm::action(const char* objectName) const {
    return findChild<QAction*>(QString::fromLatin1(objectName));
}

QToolButton* TMainForm::tool(const char* objectName) const {
    return findChild<QToolButton*>(QString::fromLatin1(objectName));
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
        }
    }
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
    m_filterOffIcon = icon("view-filter", QStyle::SP_BrowserReload);
    m_filterOnIcon = icon("process-stop", QStyle::SP_BrowserStop);
    m_filterButton = toolButton(mainTools, "FilterBtn", u("Filter an/aus"),
                                u("Gewählten Filter einschalten (F9)"), m_filterOffIcon);
    mainToolsLayout->addWidget(m_filterButton);
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
    m_grid->horizontalHeader()->setSectionsMovable(true);
    m_grid->horizontalHeader()->setSectionsClickable(true);
    m_delegate = new AddressGridDelegate(m_model, m_grid);
    m_grid->setItemDelegate(m_delegate);
    // What to do first, shown over an empty grid; clicks go through to the grid.
    m_emptyGridHint = new QLabel(
        u("Noch keine Adressen – importieren Sie Adressen oder legen Sie mit F5 einen neuen "
          "Datensatz an."),
        m_grid->viewport());
    m_emptyGridHint->setObjectName(QStringLiteral("EmptyGridLabel"));
    m_emptyGridHint->setWordWrap(true);
    m_emptyGridHint->setAlignment(Qt::AlignCenter);
    m_emptyGridHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_emptyGridHint->hide();
    auto* hintLayout = new QVBoxLayout(m_grid->viewport());
    hintLayout->addWidget(m_emptyGridHint, 0, Qt::AlignCenter);
    m_grid->installEventFilter(this);
    m_grid->viewport()->installEventFilter(this);
    connect(m_grid, &QTableView::doubleClicked, this, &TMainForm::onGridDoubleClicked);
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &TMainForm::onTitleClicked);
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
                AddressTable* table = m_state.session.currentTable();
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
        bottomLayout->addWidget(b);
    }
    m_openModeButton = bottom->findChild<QPushButton*>(QStringLiteral("OpenModeBitBtn"));
    bottomLayout->addStretch();
    layout->addWidget(bottom);

    setCentralWidget(central);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));

    m_idRangeForm = new TDoIDForm(this);
    m_markByTextForm = new TFilter2Form(this);
    m_searchForm = new TKRT_DB_SearchForm(m_state, this);
    m_filterForm = new TFilterForm(m_state, this);
    m_editForm = new TEdForm(m_state, this);
    m_columnForm = new TDeleteColumnForm(m_state, this);
    m_columnForm->setStatusSink(progress());
    m_optionsForm = new TOptionsForm(m_state, this);
    m_salutationForm = new TGrussformelForm(m_state, this);
    m_wizard = new CompositionWizard(m_state, this);
    m_mailer = new TMailerForm(m_state, this);
    m_logForm = new TLogForm(m_state, this);
    m_optionsForm->connectionTest()->priority = [this] { return m_mailer->priority(); };
    m_hygiene = new HygieneActions(m_state, this);
    m_hygiene->status = progress();
    m_import = new ImportActions(m_state, this);
    m_import->status = progress();
    m_backupForm = new TBackupForm(m_state, this);
    m_migrationForm = new TMigrationForm(m_state, this);
    m_enterpriseOptionsForm = new TEnterpriseOptionsForm(m_state, this);
    m_export = new ExportActions(m_state, this);
    m_export->status = progress();
    m_export->gridColumns = [this] { return shownColumns(); };
    new WebSyncActions(m_state, this);
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
    connect(action("Backup2"), &QAction::triggered, this,
            [this] { m_backupForm->run(TBackupForm::Mode::Backup); });
    connect(action("Restore1"), &QAction::triggered, this,
            [this] { m_backupForm->run(TBackupForm::Mode::Restore); });
    connect(action("Datentransfer1"), &QAction::triggered, this, [this] {
        if (requireTable())
            m_migrationForm->run();
    });
    connect(action("Bestellformular1"), &QAction::triggered, m_enterpriseOptionsForm,
            &TEnterpriseOptionsForm::runModal);
    connect(action("Hilfedatei1"), &QAction::triggered, this, &TMainForm::openHelp);
    connect(action("Info1"), &QAction::triggered, this, &TMainForm::showInfo);
    connect(action("OutlookmitderselektiertenEmailstarten1"), &QAction::triggered, this,
            &TMainForm::startMailProgram);
    connect(action("NachdoppeltenEmailadressenprfen1"), &QAction::toggled, this,
            &TMainForm::setCheckDuplicates);
    connect(action("TransactionlogwrdendesMailversandes1"), &QAction::toggled, this,
            &TMainForm::setTransactionLog);
    connect(action("BearbeitenimGrid1"), &QAction::toggled, this, &TMainForm::setGridEditMode);

    // Serial e-mail.
    connect(action("SerienEmailschreiben1"), &QAction::triggered, this,
            &TMainForm::startSerialMail);
    connect(findChild<QPushButton*>(QStringLiteral("MailBitBtn")), &QPushButton::clicked, this,
            &TMainForm::startSerialMail);
    connect(tool("ToolButton3"), &QToolButton::clicked, this, &TMainForm::startSerialMail);
    connect(m_wizard, &CompositionWizard::composeRequested, m_mailer,
            &TMailerForm::openForComposition);
    // A message the HTML import made shows the import window's subject as it is now.
    m_mailer->importSubject = [this] { return m_wizard->importPage()->subject(); };
    connect(m_mailer, &TMailerForm::runFinished, this, [this](bool filterSwitchedOff) {
        if (filterSwitchedOff)
            filterChangedElsewhere();
    });
    connect(action("LogDateimitzuletztversendetenEmails1"), &QAction::triggered, m_logForm,
            &TLogForm::exec);

    // Marking.
    connect(tool("SelectAllTB"), &QToolButton::clicked, this, &TMainForm::markAll);
    connect(tool("UnselectAllTB"), &QToolButton::clicked, this, &TMainForm::unmarkAll);
    connect(action("MarkierenvonIDbisID1"), &QAction::triggered, this, &TMainForm::markIdRange);
    connect(action("MarkierenallerDatenstzemitbestimmtenWortlaut1"), &QAction::triggered, this,
            &TMainForm::markByText);
    connect(tool("ToolButton1"), &QToolButton::clicked, this, &TMainForm::markByText);
    connect(action("AlleInvalidzurcksetzen1"), &QAction::triggered, this, &TMainForm::resetInvalid);
    connect(m_markByTextForm, &TFilter2Form::markRequested, this, [this](const QString& text) {
        AddressTable* table = m_state.session.currentTable();
        // An empty text is contained in every field; it marks nothing.
        if (!table || text.isEmpty())
            return;
        {
            const BusyCursor busy;
            Marking::markByText(table, text, progress());
        }
    });
    connect(m_markByTextForm, &TFilter2Form::unmarkAllRequested, this, &TMainForm::unmarkAll);
    connect(m_markByTextForm, &TFilter2Form::deleteMarkedRequested, m_hygiene,
            &HygieneActions::deleteAllMarked);

    // Settings and merge.
    connect(action("Options"), &QAction::triggered, m_optionsForm, &TOptionsForm::runModal);
    connect(action("Grussormel1"), &QAction::triggered, m_salutationForm,
            &TGrussformelForm::runModal);
    connect(action("Platzhalter"), &QAction::triggered, this, [this] {
        if (requireTable())
            Messages::instance().information(Merge::placeholderMessage(
                m_state.session.definition(),
                UnsubscribeLink::hasWebKit(m_state.folders.dataFolder,
                                           m_state.session.definitionName())));
    });

    connect(action("DatenstzeImportieren1"), &QAction::triggered, m_import, &ImportActions::start);
    connect(action("Datenstzeexportieren1"), &QAction::triggered, m_export, &ExportActions::start);
    connect(action("BCCinsClipbord1"), &QAction::triggered, m_export,
            &ExportActions::copyMarkedToClipboard);
    connect(action("N250erBCCStringinDateien"), &QAction::triggered, m_export,
            &ExportActions::writeBccFiles);
    connect(m_export, &ExportActions::filterSwitchedOff, this,
            [this] { filterChangedElsewhere(); });

    // Address hygiene.
    connect(action("EmailAdressenaufGltigkeitberprfen2"), &QAction::triggered, m_hygiene,
            &HygieneActions::checkAddresses);
    connect(action("DoppelteEmailAdressenlschen1"), &QAction::triggered, m_hygiene,
            &HygieneActions::deleteDuplicateMails);
    connect(action("SelektivesLschendoppelterDatenstze1"), &QAction::triggered, m_hygiene,
            &HygieneActions::selectiveDuplicates);
    connect(action("AllemarkiertenDatenstzelschen2"), &QAction::triggered, m_hygiene,
            &HygieneActions::deleteAllMarked);
    connect(action("Datenbankkomplettleeren1"), &QAction::triggered, m_hygiene,
            &HygieneActions::emptyDatabase);
    connect(action("AlleinvalidenDatenstzelschen1"), &QAction::triggered, m_hygiene,
            &HygieneActions::deleteAllInvalid);
    connect(action("Ruecklaeuferauswerten1"), &QAction::triggered, m_hygiene,
            &HygieneActions::evaluateBounces);
    connect(m_markByTextForm, &TFilter2Form::textEdited, this, [this] {
        if (AddressTable* table = m_state.session.currentTable())
            table->first();
    });

    // View modes and filter.
    connect(m_viewMode, &QComboBox::activated, this, &TMainForm::onViewModeChosen);
    connect(m_filterButton, &QToolButton::clicked, this, &TMainForm::toggleFilter);

    // Search, filter dialog, record editor and column content.
    connect(action("Suchen1"), &QAction::triggered, this, &TMainForm::openSearchDialog);
    connect(findChild<QPushButton*>(QStringLiteral("ImportBitBtn")), &QPushButton::clicked, this,
            &TMainForm::openSearchDialog);
    connect(tool("SearchTB"), &QToolButton::clicked, this, [this] {
        if (!requireTable())
            return;
        moveToFirst();
        openSearchDialog();
    });
    connect(action("Filter1"), &QAction::triggered, this, &TMainForm::openFilterDialog);
    connect(tool("ToolButton2"), &QToolButton::clicked, this, &TMainForm::openFilterDialog);
    connect(action("Spalteninhaltlschensetzen1"), &QAction::triggered, this,
            &TMainForm::openColumnDialog);
    connect(m_searchForm, &TKRT_DB_SearchForm::editRequested, this, [this] {
        openRecordEditor(TEdForm::Mode::Edit);
        m_searchForm->resetResults();
    });
    connect(m_searchForm, &TKRT_DB_SearchForm::deleteRequested, this, [this] {
        openRecordEditor(TEdForm::Mode::Delete);
        m_searchForm->resetResults();
    });
    connect(m_filterForm, &TFilterForm::filterSwitched, this, &TMainForm::onFilterSwitched);
    connect(m_columnForm, &TDeleteColumnForm::columnContentSet, this,
            [this] { filterChangedElsewhere(); });
    const std::pair<const char*, TEdForm::Mode> editors[] = {{"NewRec", TEdForm::Mode::New},
                                                             {"EditRec", TEdForm::Mode::Edit},
                                                             {"DeleteRec", TEdForm::Mode::Delete}};
    const char* const editorButtons[] = {"NewBitBtn", "EditBitBtn", "DeleteBitBtn"};
    for (int i = 0; i < 3; ++i) {
        const TEdForm::Mode mode = editors[i].second;
        connect(action(editors[i].first), &QAction::triggered, this,
                [this, mode] { openRecordEditor(mode); });
        connect(findChild<QPushButton*>(QLatin1String(editorButtons[i])), &QPushButton::clicked,
                this, [this, mode] { openRecordEditor(mode); });
    }

    DatabaseSession* session = &m_state.session;
    connect(session, &DatabaseSession::aboutToClose, this, &TMainForm::saveGridLayout);
    connect(session, &DatabaseSession::opened, this, &TMainForm::onDatabaseOpened);
    connect(session, &DatabaseSession::closed, this, &TMainForm::onDatabaseClosed);
    connect(session, &DatabaseSession::changed, this, &TMainForm::updateActionState);
    // Coming back from another program is a genuine activation again.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s != Qt::ApplicationActive)
            m_activationReported = false;
    });
}

// The window's part of the start-up; main() ran the rest before (Startup::run).
void TMainForm::showStartedState() {
    restorePlacement();

    {
        const QSignalBlocker block(action("NachdoppeltenEmailadressenprfen1"));
        action("NachdoppeltenEmailadressenprfen1")
            ->setChecked(m_state.flags.checkDuplicatesOnInput);
    }

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
    m_model->setDefaultTitleFont(gridFont);

    m_trueBitmap = QPixmap(m_state.folders.imagesFolder + QStringLiteral("True.bmp"));
    m_falseBitmap = QPixmap(m_state.folders.imagesFolder + QStringLiteral("False.bmp"));
    m_delegate->setBitmaps(m_trueBitmap, m_falseBitmap);

    if (m_state.session.hasOpenTable() || !m_state.session.definitionName().isEmpty())
        onDatabaseOpened();
    else
        onDatabaseClosed();

    // Both switches write their key again.
    if (m_state.flags.transactionLogEnabled)
        action("TransactionlogwrdendesMailversandes1")->setChecked(true);
    if (m_state.flags.gridEditMode)
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

// Which menu entries and buttons are enabled, and which are shown, computed from the
// state alone; every change that can alter one of them ends here.
void TMainForm::updateActionState() {
    const DatabaseSession& session = m_state.session;
    const AddressTable* table = session.currentTable();
    const bool records = table && table->recordCount() > 0;
    // Header plus at least two databases.
    const bool several = session.catalogueLines().size() > 2;

    QHash<QString, bool> enabled;
    for (const MenuDef& def : mainMenu())
        for (const MenuEntry& e : def.entries)
            enabled.insert(QString::fromLatin1(e.name), false);
    for (const char* name : workingEntries)
        enabled.insert(QString::fromLatin1(name), true);
    enabled.insert(QStringLiteral("Datenbankffnen2"), several);
    enabled.insert(QStringLiteral("Datenbanklschen2"), several);
    // A transfer needs a second database to take records from.
    enabled.insert(QStringLiteral("Datentransfer1"), several);
    enabled.insert(QStringLiteral("Links1"), session.webLinksEnabled());
    enabled.insert(QStringLiteral("NeueEintrageabholen1"), session.webFetchEnabled());
    for (auto it = enabled.cbegin(); it != enabled.cend(); ++it)
        action(it.key().toLatin1().constData())->setEnabled(it.value());

    const std::pair<const char*, bool> buttons[] = {
        {"NewBitBtn", true},      {"MailBitBtn", true},    {"ImportBitBtn", true},
        {"OpenModeBitBtn", true}, {"EditBitBtn", records}, {"DeleteBitBtn", records}};
    for (const auto& [name, on] : buttons)
        findChild<QPushButton*>(QLatin1String(name))->setEnabled(on);
    m_openModeButton->setVisible(several);
    m_viewMode->setEnabled(table && m_viewMode->count() > 0);
}

void TMainForm::onDatabaseOpened() {
    for (const auto& c : m_tableConnections)
        disconnect(c);
    m_tableConnections.clear();
    AddressTable* table = m_state.session.currentTable();
    m_model->setTable(table);
    if (table) {
        m_tableConnections
            << connect(table, &AddressTable::afterOpen, this, &TMainForm::refreshStatusCount)
            << connect(table, &AddressTable::recordCountChanged, this,
                       &TMainForm::refreshStatusCount)
            << connect(table, &AddressTable::viewReset, this, [this]() { syncGridToTable(-1); })
            << connect(table, &AddressTable::currentChanged, this, &TMainForm::syncGridToTable);
        loadGridLayout();
        syncGridToTable(-1);
    }
    fillViewModes();
    showFilterButtonState(false);
    m_databaseLabel->setText(u("Geöffnete Datenbank: ") + m_state.session.displayName());
    refreshStatusCount();
    m_grid->setFocus();
    // The table's pages are checked once the grid shows it, so opening stays quick.
    if (table)
        QTimer::singleShot(0, this, [table = QPointer<AddressTable>(table)] {
            QString message;
            if (table && table->isOpen() && !table->store()->quickCheck(&message))
                Messages::instance().error(message);
        });
}

void TMainForm::onDatabaseClosed() {
    for (const auto& c : m_tableConnections)
        disconnect(c);
    m_tableConnections.clear();
    m_model->setTable(nullptr);
    fillViewModes();
    showFilterButtonState(false);
    refreshStatusCount();
}

// Puts the grid's current row on the table's current record; -1 asks the table.
void TMainForm::syncGridToTable(qint64 row) {
    AddressTable* table = m_state.session.currentTable();
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
    if (m_state.session.hasOpenTable())
        return true;
    Messages::instance().information(Texts::openDatabaseFirst());
    return false;
}

void TMainForm::refreshStatusCount() {
    m_statusPanel->setText(StatusCountText(m_state.session));
    updateActionState();
    const AddressTable* table = m_state.session.currentTable();
    m_emptyGridHint->setVisible(table && !table->filtered() && table->recordCount() == 0);
}

void TMainForm::offerFirstSettings() {
    if (m_state.folders.programFolder.isEmpty())
        return;
    const IniFile settings(m_state.folders.programFolder + FileNames::generalSettings());
    if (settings.readString(QStringLiteral("FIRSTSETTINGS"), QStringLiteral("FirstSettingsDone")) ==
        QStringLiteral("Done"))
        return;
    if (Messages::instance().question(
            u("Willkommen bei Quillon!\r\rDie Einstellungen für Ihr E-Mail-Konto (Absender und "
              "Postausgangsserver) wurden noch nicht vorgenommen. Ohne sie kann keine "
              "E-Mail versendet werden.\r\rMöchten Sie die Einstellungen jetzt im Dialog "
              "\"Optionen\" vornehmen?")))
        action("Options")->trigger();
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
    m_state.flags.checkDuplicatesOnInput = on;
}

void TMainForm::setTransactionLog(bool on) {
    m_state.flags.transactionLogEnabled = on;
    writeFlag(Startup::keyTransActLog, on);
}

void TMainForm::setGridEditMode(bool on) {
    m_state.flags.gridEditMode = on;
    m_model->setEditable(on);
    m_grid->setEditTriggers(on ? QAbstractItemView::EditKeyPressed |
                                     QAbstractItemView::AnyKeyPressed |
                                     QAbstractItemView::SelectedClicked
                               : QAbstractItemView::NoEditTriggers);
    QPalette palette = m_grid->palette();
    palette.setColor(QPalette::Text, on ? QColor(Qt::blue) : QColor(Qt::black));
    m_grid->setPalette(palette);
    writeFlag(Startup::keyGridEdit, on);
    m_grid->setFocus();
}

void TMainForm::moveToFirst() {
    if (!requireTable())
        return;
    m_state.session.currentTable()->first();
}

void TMainForm::moveToLast() {
    if (!requireTable())
        return;
    m_state.session.currentTable()->last();
}

void TMainForm::openHelp() {
    OpenHelpPage(m_state);
}

void TMainForm::showInfo() {
    Messages::instance().information(Startup::productName() + u("\rVersion ") +
                                     Startup::productVersion() +
                                     u("\r\rSerien-E-Mails an die Adressen Ihrer Datenbanken"));
}

void TMainForm::startMailProgram() {
    if (!requireTable())
        return;
    const QString mail = m_state.session.currentTable()->asString(SystemColumns::Mail).trimmed();
    // The address is handed over as the URL's path, never pasted into a command line.
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(mail.toLower());
    // Through the program's opener, like every other document the program opens; a
    // desktop without a mail program is told so.
    Documents::openOrReport(url, Messages::instance());
}

QList<ExportColumn> TMainForm::shownColumns() const {
    QList<ExportColumn> columns;
    const QHeaderView* header = m_grid->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        const int field = m_model->fieldAt(logical);
        if (header->isSectionHidden(logical) || field < 0)
            continue;
        columns << ExportColumn{field, m_model->headerData(logical, Qt::Horizontal).toString()};
    }
    return columns;
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
    if (m_shutDown || m_state.folders.programFolder.isEmpty())
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
    m_state.flags.firstSettingsDone =
        Startup::checkActivation(m_state.folders.programFolder, counting);
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
    if (AddressTable* table = m_state.session.currentTable()) {
        if (table->state() == AddressTable::State::Edit ||
            table->state() == AddressTable::State::Insert) {
            QString error;
            if (!table->post(&error)) {
                if (!Messages::instance().destructiveQuestion(
                        u("Der bearbeitete Datensatz konnte nicht gespeichert werden:\r") + error +
                        u("\r\rTrotzdem beenden? Die Änderung geht dann verloren.")))
                    return false;
                table->cancel();
            }
        }
    }
    writeFlag(Startup::keyCheckdoublettes, m_state.flags.checkDuplicatesOnInput);
    // Where the grid layout of the open database gets saved.
    if (m_state.session.hasOpenTable())
        saveGridLayout();
    m_shutDown = true;
    return true;
}

// ---------------------------------------------------------------------------
// Grid layout

void TMainForm::loadGridLayout() {
    AddressTable* table = m_state.session.currentTable();
    if (!table)
        return;
    QStringList fieldNames;
    for (const ColumnDef& c : table->columns())
        fieldNames << c.name;
    const GridLayout layout = GridSetup::openingLayout(GridSetup::layoutPath(m_state.session),
                                                       fieldNames, m_state.session.definition());
    QList<GridColumn> columns;
    for (const GridColumnLayout& c : layout.columns) {
        GridColumn column;
        column.field = table->fieldIndex(c.field);
        column.title = c.title;
        if (!c.fontFamily.isEmpty()) {
            column.titleFont = QFont(c.fontFamily, c.fontPointSize);
            column.titleFont.setBold(c.fontBold);
            column.customFont = true;
        }
        columns << column;
    }
    m_model->setColumns(columns);
    m_model->setPictureFields(m_state.session.definition().booleanFields());

    // The header keeps moved sections across a reset of the same column count: put every
    // section back in the layout's order before sizing them.
    QHeaderView* header = m_grid->horizontalHeader();
    for (int i = 0; i < header->count(); ++i)
        if (header->visualIndex(i) != i)
            header->moveSection(header->visualIndex(i), i);
    for (int i = 0; i < layout.columns.size() && i < header->count(); ++i) {
        const GridColumnLayout& c = layout.columns[i];
        const int field = table->fieldIndex(c.field);
        const QFont titleFont = columns[i].customFont ? columns[i].titleFont : header->font();
        header->resizeSection(i, c.width > 0
                                     ? c.width
                                     : defaultColumnWidth(table->columns().at(field), c.title,
                                                          m_grid->font(), titleFont));
    }
}

void TMainForm::saveGridLayout() {
    const QString path = GridSetup::layoutPath(m_state.session);
    if (path.isEmpty() || m_model->columnCount() == 0)
        return;
    m_model->resetTitles();
    QHeaderView* header = m_grid->horizontalHeader();
    GridLayout layout;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        const GridColumn& column = m_model->gridColumns().at(logical);
        const QFont font = column.customFont ? column.titleFont : header->font();
        GridColumnLayout c;
        c.field = m_model->fieldNameAt(logical);
        c.title = column.title;
        c.fontFamily = font.family();
        c.fontPointSize = qMax(1, font.pointSize());
        c.fontBold = font.bold();
        c.width = header->sectionSize(logical);
        layout.columns << c;
    }
    QString error;
    if (!layout.save(path, &error))
        Messages::instance().error(u("Das Spaltenlayout konnte nicht gespeichert werden:\r") +
                                   error);
}

// ---------------------------------------------------------------------------
// Grid input

void TMainForm::onGridDoubleClicked(const QModelIndex& index) {
    if (!index.isValid() || !m_state.session.hasOpenTable())
        return;
    if (invertFlag(index))
        return;
    openRecordEditor(TEdForm::Mode::Edit);
}

// Inverts Selected or Invalid of the record in this row and posts; false for any other
// column.
bool TMainForm::invertFlag(const QModelIndex& index) {
    AddressTable* table = m_state.session.currentTable();
    const QString field = m_model->fieldNameAt(index.column());
    if (!table || !isFlagField(field))
        return false;
    if (table->recNo() != index.row() && !table->moveTo(index.row()))
        return true;
    table->edit();
    table->setBool(field, !table->asBool(field));
    QString error;
    if (!table->post(&error)) {
        table->cancel();
        Messages::instance().error(error);
    }
    return true;
}

// A click on a sortable title sorts by its index; a second click on the same (red)
// title returns to primary-key order. Sorting is allowed in every view mode: the engine
// orders a filtered view like any other.
void TMainForm::onTitleClicked(int section) {
    AddressTable* table = m_state.session.currentTable();
    if (!table)
        return;
    m_grid->clearSelection();
    const QString indexName =
        m_state.session.definition().sortIndexFor(m_model->fieldNameAt(section));
    if (indexName.isEmpty())
        return;
    QString error;
    bool ok;
    {
        // Ordering a large table takes a moment, the first time by a column after a
        // large import longer: its index is made then.
        const BusyCursor busy;
        if (m_model->isTitleMarked(section)) {
            m_model->resetTitles();
            ok = table->setIndexName(QString(), &error);
        } else {
            m_model->resetTitles();
            m_model->setMarkedTitle(section);
            ok = table->setIndexName(indexName, &error);
        }
    }
    if (!ok) {
        m_model->resetTitles();
        Messages::instance().error(error);
    }
}

void TMainForm::deleteCurrentRow() {
    AddressTable* table = m_state.session.currentTable();
    if (!table || table->recordCount() == 0)
        return;
    if (!Messages::instance().destructiveQuestion(u("Datensatz löschen?")))
        return;
    QString error;
    if (!table->deleteRecord(&error))
        Messages::instance().error(error);
}

void TMainForm::wheelOneRecordPerNotch(int angleDelta) {
    m_wheelRemainder += angleDelta;
    while (qAbs(m_wheelRemainder) >= 120) {
        const bool up = m_wheelRemainder > 0;
        m_wheelRemainder += up ? -120 : 120;
        QKeyEvent press(QEvent::KeyPress, up ? Qt::Key_Up : Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(m_grid, &press);
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if (key->key() == Qt::Key_Space && mods == Qt::NoModifier && !m_state.flags.gridEditMode) {
            onGridDoubleClicked(m_grid->currentIndex());
            return true;
        }
        if (key->key() == Qt::Key_F && mods == Qt::ControlModifier) {
            openSearchDialog();
            return true;
        }
        if (key->key() == Qt::Key_F9 && mods == Qt::NoModifier) {
            toggleFilter();
            return true;
        }
        // Rows are deleted only where cells may be changed at all: in grid edit mode.
        if (key->key() == Qt::Key_Delete && mods == Qt::ControlModifier) {
            if (m_state.flags.gridEditMode)
                deleteCurrentRow();
            return true;
        }
    }
    if (watched == m_grid->viewport() && event->type() == QEvent::Wheel &&
        !QApplication::activeModalWidget() && !QApplication::activePopupWidget()) {
        wheelOneRecordPerNotch(static_cast<QWheelEvent*>(event)->angleDelta().y());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// View modes and filter

void TMainForm::fillViewModes() {
    const QSignalBlocker block(m_viewMode);
    m_viewMode->clear();
    if (!m_state.session.hasOpenTable())
        return;
    for (const ViewFilter& mode : m_state.session.definition().viewFilters)
        m_viewMode->addItem(mode.caption, mode.expression);
    m_viewMode->setCurrentIndex(0);
}

void TMainForm::onViewModeChosen(int entry) {
    if (!requireTable() || entry < 0)
        return;
    if (applyFilter(m_viewMode->itemData(entry).toString()))
        showFilterButtonState(false); // FilterBtn's expression is no longer in force
}

bool TMainForm::applyFilter(const QString& expression) {
    AddressTable* table = m_state.session.currentTable();
    QString error;
    if (!table->setFilter(expression, &error)) {
        Messages::instance().error(error);
        return false;
    }
    table->setFiltered(true);
    return true;
}

void TMainForm::showFilterButtonState(bool on) {
    m_filterOn = on;
    m_filterButton->setIcon(on ? m_filterOnIcon : m_filterOffIcon);
    m_filterButton->setToolTip(on ? u("Gewählten Filter ausschalten (F9)")
                                  : u("Gewählten Filter einschalten (F9)"));
}

// The filter was cleared or replaced by a command that is not a view mode: the box
// shows its first entry again (without applying it) and FilterBtn shows "off".
void TMainForm::filterChangedElsewhere() {
    {
        const QSignalBlocker block(m_viewMode);
        if (m_viewMode->count() > 0)
            m_viewMode->setCurrentIndex(0);
    }
    showFilterButtonState(false);
}

void TMainForm::toggleFilter() {
    if (!requireTable())
        return;
    if (m_filterForm->expression().trimmed().isEmpty()) {
        Messages::instance().information(u("Achtung Sie haben noch keinen Filter eigestellt! "
                                           "Öffnen Sie zuerst die Filtereinstellungen."));
        return;
    }
    // The filter dialog switches the table's filter and reports back through
    // filterSwitched, the same way as its own "Filter an" and "Filter aus".
    if (!m_filterOn)
        m_filterForm->applyFilter();
    else
        m_filterForm->clearFilter();
}

// The filter dialog's expression was switched on or off.
void TMainForm::onFilterSwitched(bool on) {
    {
        const QSignalBlocker block(m_viewMode);
        if (m_viewMode->count() > 0)
            m_viewMode->setCurrentIndex(0);
    }
    showFilterButtonState(on);
}

// ---------------------------------------------------------------------------
// Marking

Progress TMainForm::progress() {
    return [this](const QString& text) {
        setProgressText(text);
        statusBar()->repaint();
    };
}

void TMainForm::markAll() {
    AddressTable* table = m_state.session.currentTable();
    if (!table)
        return;
    {
        const BusyCursor busy;
        Marking::markAll(table, progress());
    }
}

void TMainForm::unmarkAll() {
    AddressTable* table = m_state.session.currentTable();
    if (!table ||
        !Messages::instance().destructiveQuestion(u("Alle markierten Datensätze unmarkieren?")))
        return;
    {
        const BusyCursor busy;
        Marking::unmarkAll(table, progress());
    }
    filterChangedElsewhere();
}

void TMainForm::markIdRange() {
    if (!requireTable() || m_idRangeForm->exec() != QDialog::Accepted)
        return;
    qint64 low = 0;
    qint64 high = 0;
    QString error;
    if (!Marking::parseIdRange(m_idRangeForm->startText(), m_idRangeForm->endText(), &low, &high,
                               &error)) {
        Messages::instance().information(error);
        return;
    }
    AddressTable* table = m_state.session.currentTable();
    if (!table)
        return;
    {
        const BusyCursor busy;
        Marking::markIdRange(table, low, high, progress());
    }
    filterChangedElsewhere();
}

void TMainForm::markByText() {
    if (!requireTable())
        return;
    moveToFirst();
    m_markByTextForm->exec();
    m_grid->setFocus();
}

void TMainForm::resetInvalid() {
    AddressTable* table = m_state.session.currentTable();
    if (!table || !Messages::instance().destructiveQuestion(
                      u("Alle als \"Invaild\" markierten Datensätze als gültig zurücksetzen?")))
        return;
    {
        const BusyCursor busy;
        Marking::resetInvalid(table, progress());
    }
    filterChangedElsewhere();
}

// Counts the marked records of the whole table without touching the user's view: the
// filter, the view mode and the current record all stay as they are.
void TMainForm::startSerialMail() {
    if (!requireTable())
        return;
    qint64 marked = 0;
    {
        const BusyCursor busy;
        marked = Marking::countMarked(m_state.session.currentTable());
    }
    if (marked == 0) {
        Messages::instance().information(
            u("Keine Datensätze zum versenden markiert! \rKlicken Sie doppelt auf die Spalte "
              "\"Selected\" um Datensätze zu markieren!"));
        return;
    }
    m_wizard->start(marked);
}

// ---------------------------------------------------------------------------
// Dialogs of search, filter, record editing and column content

void TMainForm::openSearchDialog() {
    m_searchForm->execute();
    m_grid->setFocus();
}

void TMainForm::openFilterDialog() {
    m_filterForm->execute();
}

void TMainForm::openRecordEditor(TEdForm::Mode mode) {
    m_editForm->execFor(mode);
    m_grid->setFocus();
}

void TMainForm::openColumnDialog() {
    m_columnForm->execute();
}
