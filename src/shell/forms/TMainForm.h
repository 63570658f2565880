#pragma once
#include "shell/AppState.h"

#include <QMainWindow>
#include <QPixmap>

class AddressGridModel;
class DatabaseDialogs;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QTableView;
class QToolButton;

// The main window: shows the hub (AppState) with the current table in the address grid
// and reaches every function through menu, tool bar and buttons. Creating it runs the
// start-up; closing it runs the shutdown.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    AppState& state() { return m_state; }
    // True when start-up found the data held by another user: the program must end.
    bool startupAborted() const { return m_startupAborted; }

    // Shows "Zuerst Datenbank öffnen!" and returns false when no table is open.
    bool requireTable();
    // StatusPanel := StatusCountText.
    void refreshStatusCount();
    // The status line's progress text; empty clears it.
    void setProgressText(const QString& text);

    AddressGridModel* gridModel() const { return m_model; }
    QTableView* grid() const { return m_grid; }
    const QPixmap& trueBitmap() const { return m_trueBitmap; }
    const QPixmap& falseBitmap() const { return m_falseBitmap; }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void buildControls();
    void connectActions();
    void runStartup();
    void restorePlacement();
    void savePlacement();
    void updateMultiDatabaseControls();
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

    AppState m_state;
    bool m_startupAborted = false;
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
    QComboBox* m_viewMode = nullptr;
    QPushButton* m_openModeButton = nullptr;
    QMenu* m_gridPopup = nullptr;
    QPixmap m_trueBitmap;
    QPixmap m_falseBitmap;
    QList<QMetaObject::Connection> m_tableConnections;
};
