#pragma once
#include "common/Progress.h"
#include "exchange/ImportOptions.h"

#include <QDialog>
#include <QStringList>

class AppState;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QTableWidget;
class QTimer;
class QVBoxLayout;

// The import window: import file and blacklist, delimiter and quote, header line, one
// number box per target field, fixed entry, preview, "Starte Import". Created once; the
// boxes of the delimiter, quote, header line, fixed entry and preview row count keep
// their values between showings, the file, blacklist and preview are reset each time.
class TImportForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int checkIntervalMs = 250;

    explicit TImportForm(AppState& state, QWidget* parent = nullptr);

    // Progress texts for the main window's status bar and the busy cursor.
    void setProgress(const Progress& progress) { m_progress = progress; }

    QString importFile() const { return m_file; } // empty: none chosen
    QString blacklistFile() const { return m_blacklist; }
    // The periodic check: enables "Starte Import" and recomputes the preview.
    void periodicCheck();
    QTimer* checkTimer() const { return m_timer; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildRows();
    void removeRows();
    void chooseFile();
    void chooseBlacklist();
    void clearBlacklist();
    void showBlacklistInfo();
    void togglePreview();
    void updatePreview();
    void updateFixedEntry();
    void startImport();
    void openHelp(const QString& page);
    QLineEdit* columnBox(const QString& fieldName) const;
    QStringList columnTexts() const;
    ImportOptions options(bool* valid) const;

    AppState& m_state;
    Progress m_progress;
    QString m_file;
    QString m_blacklist;
    QString m_activeDelimiter = QStringLiteral(";");
    QStringList m_fieldNames;
    QStringList m_captions;
    QString m_fixedFieldName; // the fixed entry's field, kept between showings

    QLineEdit* m_fileEdit = nullptr;
    QLabel* m_blacklistLabel = nullptr;
    QPushButton* m_blacklistDelete = nullptr;
    QComboBox* m_delimiter = nullptr;
    QComboBox* m_quote = nullptr;
    QCheckBox* m_skip = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_rows = nullptr;
    QVBoxLayout* m_rowsLayout = nullptr;
    QCheckBox* m_fixCheck = nullptr;
    QComboBox* m_fixCombo = nullptr;
    QLineEdit* m_fixEdit = nullptr;
    QPushButton* m_importButton = nullptr;
    QPushButton* m_previewButton = nullptr;
    QTableWidget* m_grid = nullptr;
    QComboBox* m_previewRows = nullptr;
    QLabel* m_previewInfo = nullptr;
    QTimer* m_timer = nullptr;
};
