#include "send/forms/TLogForm.h"

#include "common/FileNames.h"
#include "common/TextFile.h"
#include "send/SendRun.h"
#include "shell/AppState.h"

#include <QFileInfo>

TLogForm::TLogForm(AppState& state, QWidget* parent)
    : SendResultForm(QStringLiteral("Zuletzt versendete Emails"),
                     QStringLiteral("Zuletzt/bereits versendete E-Mails"), parent),
      m_state(state) {
    setObjectName(QStringLiteral("TLogForm"));
}

void TLogForm::reload() {
    const QString path = m_state.folders.tempFolder + FileNames::sentLog();
    QStringList lines;
    if (QFileInfo::exists(path))
        TextFile::readLines(path, &lines);
    setLines(lines);
}

int TLogForm::exec() {
    reload();
    return SendResultForm::exec();
}
