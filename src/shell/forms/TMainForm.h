#pragma once
#include "shell/AppState.h"
#include "shell/forms/TEdForm.h"

#include "common/Progress.h"

#include <QIcon>
#include <QMainWindow>
#include <QPixmap>
#include <functional>

class AddressGridDelegate;
class AddressGridModel;
class DatabaseDialogs;
class TBackupForm;
class TDeleteColumnForm;
class TMigrationForm;
class TEnterpriseOptionsForm;
class HygieneActions;
class ExportActions;
class ImportActions;
struct ExportColumn;
class TOptionsForm;
class TGrussformelForm;
class CompositionWizard;
class TLogForm;
class TMailerForm;
class TDoIDForm;
class TFilter2Form;
class TFilterForm;
class TKRT_DB_SearchForm;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QTableView;
class QToolButton;

// The main window: shows the program's state (created and started by main()) with the
// current table in the address grid and reaches every function through menu, tool bar
// and buttons. Closing it runs the shutdown.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(AppState& state, QWidget* parent = nullptr);
    ~TMainForm() override;

    AppState& state() { return m_state; }

    // Shows "Zuerst Datenbank öffnen!" and returns false when no table is open.
    bool requireTable();
    // StatusPanel := StatusCountText; an empty table shows how to begin in the grid.
    void refreshStatusCount();
    // At the first start: while the account settings were never saved, offers to open
    // the options dialog. main() calls it once the window is shown.
    void offerFirstSettings();
    // The status line's progress text; empty clears it.
    void setProgressText(const QString& text);

    AddressGridModel* gridModel() const { return m_model; }
    QTableView* grid() const { return m_grid; }
    const QPixmap& trueBitmap() const { return m_trueBitmap; }
    const QPixmap& falseBitmap() const { return m_falseBitmap; }

    // Marking commands, each through the engine's batched set operations.
    void markAll();
    void unmarkAll();
    void markIdRange();
    void markByText();
    void resetInvalid();
    // "Serien-E-Mail schreiben": counts the marked records for the send run.
    void startSerialMail();
    // FilterBtn: the filter dialog's expression on or off.
    void toggleFilter();
    bool filterButtonOn() const { return m_filterOn; }
    TDoIDForm* idRangeForm() const { return m_idRangeForm; }
    TFilter2Form* markByTextForm() const { return m_markByTextForm; }
    TKRT_DB_SearchForm* searchForm() const { return m_searchForm; }
    TFilterForm* filterForm() const { return m_filterForm; }
    TEdForm* recordEditor() const { return m_editForm; }
    TDeleteColumnForm* columnForm() const { return m_columnForm; }
    CompositionWizard* compositionWizard() const { return m_wizard; }
    TMailerForm* mailerForm() const { return m_mailer; }
    TLogForm* logForm() const { return m_logForm; }
    TOptionsForm* optionsForm() const { return m_optionsForm; }
    ImportActions* importActions() const { return m_import; }
    TBackupForm* backupForm() const { return m_backupForm; }
    TMigrationForm* migrationForm() const { return m_migrationForm; }
    TEnterpriseOptionsForm* enterpriseOptionsForm() const { return m_enterpriseOptionsForm; }
    ExportActions* exportActions() const { return m_export; }
    // The grid's columns in the order shown, with their titles, for the workbook.
    QList<ExportColumn> shownColumns() const;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    void buildControls();
    void connectActions();
    void showStartedState();
    void restorePlacement();
    void savePlacement();
    void updateActionState();
    void onDatabaseOpened();
    void onDatabaseClosed();
    void syncGridToTable(qint64 row);
    void setCheckDuplicates(bool on);
    void setTransactionLog(bool on);
    void setGridEditMode(bool on);
    void writeFlag(const char* key, bool on);
    void runActivationCheck();
    bool shutdown();
    void openHelp();
    void showInfo();
    void startMailProgram();
    void copyFocusedCell();
    void moveToFirst();
    void moveToLast();
    QAction* action(const char* objectName) const;
    QToolButton* tool(const char* objectName) const;

    // Grid.
    void loadGridLayout();
    void saveGridLayout();
    void onGridDoubleClicked(const QModelIndex& index);
    bool invertFlag(const QModelIndex& index);
    void onTitleClicked(int section);
    void deleteCurrentRow();
    void wheelOneRecordPerNotch(int angleDelta);
    // View modes and filter.
    void fillViewModes();
    void onViewModeChosen(int entry);
    void showFilterButtonState(bool on);
    void filterChangedElsewhere();
    void onFilterSwitched(bool on);
    bool applyFilter(const QString& expression);
    // Progress text for the engine's record loops.
    Progress progress();
    // Dialogs of the search, filter, record editor and column content functions.
    void openSearchDialog();
    void openFilterDialog();
    void openRecordEditor(TEdForm::Mode mode);
    void openColumnDialog();

    AppState& m_state;
    bool m_shutDown = false;
    bool m_syncing = false;
    // Set when the activation check showed a box: closing that box activates the
    // window again, which must not show the same boxes in an endless round.
    bool m_activationReported = false;
    bool m_inActivationCheck = false;

    AddressGridModel* m_model = nullptr;
    DatabaseDialogs* m_databaseDialogs = nullptr;
    QTableView* m_grid = nullptr;
    QLabel* m_headerImage = nullptr;
    QLabel* m_databaseLabel = nullptr;
    QLabel* m_statusPanel = nullptr;
    QLabel* m_emptyGridHint = nullptr; // over the grid while the table has no records
    QComboBox* m_viewMode = nullptr;
    QPushButton* m_openModeButton = nullptr;
    QMenu* m_gridPopup = nullptr;
    AddressGridDelegate* m_delegate = nullptr;
    QToolButton* m_filterButton = nullptr;
    QIcon m_filterOffIcon;
    QIcon m_filterOnIcon;
    bool m_filterOn = false;
    int m_wheelRemainder = 0;
    TDoIDForm* m_idRangeForm = nullptr;
    TFilter2Form* m_markByTextForm = nullptr;
    TKRT_DB_SearchForm* m_searchForm = nullptr;
    TFilterForm* m_filterForm = nullptr;
    TEdForm* m_editForm = nullptr;
    TDeleteColumnForm* m_columnForm = nullptr;
    HygieneActions* m_hygiene = nullptr;
    ImportActions* m_import = nullptr;
    TBackupForm* m_backupForm = nullptr;
    TMigrationForm* m_migrationForm = nullptr;
    TEnterpriseOptionsForm* m_enterpriseOptionsForm = nullptr;
    ExportActions* m_export = nullptr;
    TOptionsForm* m_optionsForm = nullptr;
    TGrussformelForm* m_salutationForm = nullptr;
    CompositionWizard* m_wizard = nullptr;
    TMailerForm* m_mailer = nullptr;
    TLogForm* m_logForm = nullptr;
    QPixmap m_trueBitmap;
    QPixmap m_falseBitmap;
    QList<QMetaObject::Connection> m_tableConnections;
};
