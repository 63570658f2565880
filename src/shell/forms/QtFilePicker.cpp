#include "shell/forms/QtFilePicker.h"

#include <QApplication>
#include <QFileDialog>

namespace {
QWidget* parentWidget() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}
} // namespace

QString QtFilePicker::openFile(const QString& caption, const QString& folder,
                               const QString& filter) {
    return QFileDialog::getOpenFileName(parentWidget(), caption, folder, filter);
}

QString QtFilePicker::saveFile(const QString& caption, const QString& folder,
                               const QString& filter) {
    return QFileDialog::getSaveFileName(parentWidget(), caption, folder, filter);
}

QString QtFilePicker::folder(const QString& caption, const QString& folder) {
    return QFileDialog::getExistingDirectory(parentWidget(), caption, folder);
}
