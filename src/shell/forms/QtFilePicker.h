#pragma once
#include "common/FilePicker.h"

class QWidget;

// File and folder pickers of the desktop (QFileDialog).
class QtFilePicker : public FilePicker {
public:
    QString openFile(const QString& caption, const QString& folder, const QString& filter) override;
    QString saveFile(const QString& caption, const QString& folder, const QString& filter) override;
    QString folder(const QString& caption, const QString& folder) override;
};
