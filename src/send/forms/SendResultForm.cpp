#include "send/forms/SendResultForm.h"

#include "common/FilePicker.h"
#include "common/Messages.h"
#include "common/TextFile.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

SendResultForm::SendResultForm(const QString& caption, const QString& labelText, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(caption);
    m_label = new QLabel(labelText, this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setReadOnly(true);
    m_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_save = new QPushButton(QStringLiteral("Speichern"), this);
    m_save->setObjectName(QStringLiteral("SaveButton"));
    m_print = new QPushButton(QStringLiteral("Drucken"), this);
    m_print->setObjectName(QStringLiteral("PrintButton"));
    m_close = new QPushButton(QStringLiteral("Schließen"), this);
    m_close->setObjectName(QStringLiteral("CloseButton"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_save);
    buttons->addWidget(m_print);
    buttons->addStretch();
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_memo, 1);
    layout->addLayout(buttons);
    resize(480, 360);

    connect(m_save, &QPushButton::clicked, this, [this] { save(); });
    connect(m_print, &QPushButton::clicked, this, [this] { print(); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
}

void SendResultForm::setLines(const QStringList& lines) {
    m_memo->setPlainText(lines.join(QChar('\n')));
}

QStringList SendResultForm::lines() const {
    const QString text = m_memo->toPlainText();
    if (text.isEmpty())
        return {};
    return text.split(QChar('\n'));
}

bool SendResultForm::save() {
    const QString start = m_saveFolder.isEmpty()
                              ? QStringLiteral("untitled.txt")
                              : QDir(m_saveFolder).filePath(QStringLiteral("untitled.txt"));
    QString path = FilePicker::instance().saveFile(QStringLiteral("Speichern unter"), start,
                                                   QStringLiteral("Textdatei (.txt) (*.txt)"));
    if (path.isEmpty())
        return false;
    // The dialog asked about the name it returned; a name completed here is asked
    // about here.
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".txt");
        if (QFileInfo::exists(path) &&
            !Messages::instance().destructiveQuestion(
                QStringLiteral("Die Datei ") + QDir::toNativeSeparators(path) +
                QStringLiteral(" existiert bereits.\rMöchten Sie "
                               "sie ersetzen?")))
            return false;
    }
    QString error;
    if (!TextFile::writeLines(path, lines(), &error)) {
        Messages::instance().error(error);
        return false;
    }
    return true;
}

QStringList SendResultForm::printLines() const {
    QStringList out;
    out << QStringLiteral("Quillon: ") + QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))
        << QString(77, QChar('-')) << QStringLiteral(" ");
    out += lines();
    return out;
}

bool SendResultForm::printOn(QPrinter& printer) {
    QTextDocument document;
    document.setPlainText(printLines().join(QChar('\n')));
    document.print(&printer);
    return true;
}

bool SendResultForm::print() {
    if (m_printer)
        return printOn(*m_printer);
    if (QPrinterInfo::defaultPrinter().isNull()) {
        Messages::instance().error(QStringLiteral("Es ist kein Standarddrucker eingerichtet."));
        return false;
    }
    QPrinter printer(QPrinterInfo::defaultPrinter());
    return printOn(printer);
}
