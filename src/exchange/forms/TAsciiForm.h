#pragma once
#include "common/Progress.h"

#include <QDialog>

class AppState;
class QCheckBox;
class QLineEdit;
class QListWidget;

// The CSV window: the columns to export (all ticked each time the window shows), the
// delimiter, header, only-marked and trim switches. "OK" asks for the file, writes it
// and closes; the delimiter and the switches are kept between openings.
class TAsciiForm : public QDialog {
    Q_OBJECT
public:
    explicit TAsciiForm(AppState& state, QWidget* parent = nullptr);

    void setProgress(const Progress& progress) { m_progress = progress; }

Q_SIGNALS:
    // The export switched the table's record filter off.
    void filterSwitchedOff();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onOk();

    AppState& m_state;
    Progress m_progress;
    QListWidget* m_columns = nullptr;
    QLineEdit* m_delimiter = nullptr;
    QCheckBox* m_header = nullptr;
    QCheckBox* m_onlyMarked = nullptr;
    QCheckBox* m_trim = nullptr;
};
