#pragma once
#include "common/Progress.h"
#include "exchange/ExportRows.h"

#include <QList>
#include <QObject>
#include <functional>

class AppState;
class QWidget;
class TAsciiForm;
class TExportWizzard1Form;

// The export entries of the main menu: the wizard with the workbook and the CSV window
// (created once and kept between openings), and the two BCC lists. The main window sets
// status (progress texts for its status bar) and gridColumns (the grid's columns in the
// order shown, each with its title).
class ExportActions : public QObject {
    Q_OBJECT
public:
    ExportActions(AppState& state, QWidget* parent);

    // "Datensätze exportieren".
    void start();
    // "Markierte E-Mails ins Clipbord kopieren".
    void copyMarkedToClipboard();
    // "E-Mails in Datei(en) kopieren. 250 Mails pro Datei".
    void writeBccFiles();

    Progress status;
    std::function<QList<ExportColumn>()> gridColumns;

    TExportWizzard1Form* wizardForm() const { return m_wizard; }
    TAsciiForm* asciiForm() const { return m_ascii; }

Q_SIGNALS:
    // An export switched the table's record filter off.
    void filterSwitchedOff();

private:
    void exportWorkbook(bool xlsx);
    Progress feedback() const;
    // The mail column of the open table after the checks both BCC entries make; -1 when
    // a check failed (and was reported).
    int bccMailColumn();

    AppState& m_state;
    TExportWizzard1Form* m_wizard = nullptr;
    TAsciiForm* m_ascii = nullptr;
};
