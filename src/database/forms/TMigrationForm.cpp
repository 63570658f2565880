#include "database/forms/TMigrationForm.h"

#include "common/Messages.h"
#include "database/AddressTable.h"
#include "database/Transfer.h"
#include "shell/AppState.h"
#include "shell/forms/BusyCursor.h"
#include "shell/forms/HelpPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <cmath>

namespace {

const QString kNothing = QStringLiteral("Nichts");

} // namespace

TMigrationForm::TMigrationForm(AppState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("MigrationForm"));
    setWindowTitle(QStringLiteral("Transfer"));
    setMinimumSize(560, 520);
    resize(640, 600);

    auto* heading = new QLabel(QStringLiteral("Übernahme von Daten aus einer anderen Quillon "
                                              "Datenbank"),
                               this);
    heading->setObjectName(QStringLiteral("HeadingLabel"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    m_source = new QComboBox(this);
    m_source->setObjectName(QStringLiteral("ComboBox1"));
    m_target = new QComboBox(this);
    m_target->setObjectName(QStringLiteral("ComboBox2"));
    auto* boxes = new QGridLayout;
    boxes->addWidget(new QLabel(QStringLiteral("Quell-Datenbank auswählen"), this), 0, 0);
    boxes->addWidget(new QLabel(QStringLiteral("Ziel-Datenbank auswählen"), this), 0, 1);
    boxes->addWidget(m_source, 1, 0);
    boxes->addWidget(m_target, 1, 1);

    auto* mappingLabel = new QLabel(QStringLiteral("Zuordnung der Felder:"), this);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("ScrollBox1"));
    m_scroll->setWidgetResizable(true);
    m_rows = new QWidget;
    m_rowLayout = new QVBoxLayout(m_rows);
    m_scroll->setWidget(m_rows);

    m_group = new QGroupBox(QStringLiteral("Zu übernehmende Datensätze"), this);
    m_group->setObjectName(QStringLiteral("GroupBox1"));
    m_all = new QRadioButton(QStringLiteral("Alle Datensätze"), m_group);
    m_all->setObjectName(QStringLiteral("AlleRadioButton"));
    m_marked = new QRadioButton(QStringLiteral("Nur markierte Datensätze"), m_group);
    m_marked->setObjectName(QStringLiteral("SeletctierteRadioButton"));
    m_all->setChecked(true);
    auto* groupLayout = new QHBoxLayout(m_group);
    groupLayout->addWidget(m_all);
    groupLayout->addWidget(m_marked);
    groupLayout->addStretch();

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setRange(0, 100);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("StatusLabel"));

    m_start = new QPushButton(QStringLiteral("Start"), this);
    m_start->setObjectName(QStringLiteral("StartBitBtn"));
    m_start->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    m_abort = new QPushButton(QStringLiteral("Abbrechen"), this);
    m_abort->setObjectName(QStringLiteral("AbortBitBtn"));
    m_abort->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    m_help = new QPushButton(QStringLiteral("Hilfe"), this);
    m_help->setObjectName(QStringLiteral("HilfeBitBtn"));
    m_help->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    for (QPushButton* b : {m_start, m_abort, m_help})
        b->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_help);
    buttons->addStretch();
    buttons->addWidget(m_start);
    buttons->addWidget(m_abort);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(boxes);
    layout->addWidget(mappingLabel);
    layout->addWidget(m_scroll, 1);
    layout->addWidget(m_group);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addLayout(buttons);

    connect(m_source, &QComboBox::activated, this, &TMigrationForm::onSourceChosen);
    connect(m_start, &QPushButton::clicked, this, &TMigrationForm::onStart);
    connect(m_abort, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_help, &QPushButton::clicked, this, [this] { OpenHelpPage(m_state); });
}

int TMigrationForm::run() {
    prepare();
    return exec();
}

void TMigrationForm::prepare() {
    const DatabaseSession& session = m_state.session;
    m_entries = catalogueEntries(session.catalogueLines());
    m_source->clear();
    m_target->clear();
    m_targetEntry = -1;
    for (int i = 0; i < m_entries.size(); ++i) {
        m_source->addItem(m_entries[i].displayName);
        m_target->addItem(m_entries[i].displayName);
        if (m_targetEntry < 0 &&
            m_entries[i].definitionName.compare(session.definitionName(), Qt::CaseInsensitive) == 0)
            m_targetEntry = i;
    }
    m_source->setCurrentIndex(-1);
    m_target->setCurrentIndex(m_targetEntry);
    m_target->setEnabled(false);
    m_status->clear();
    m_progress->setValue(0);
    m_start->setEnabled(false);
    m_targetFields = session.definition().fields.mid(8);
    m_sourceFields.clear();
    buildRows();
}

void TMigrationForm::buildRows() {
    qDeleteAll(m_rows->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly));
    m_rowBoxes.clear();
    while (QLayoutItem* item = m_rowLayout->takeAt(0))
        delete item;
    QStringList choices{kNothing};
    for (const FieldDefinition& f : m_sourceFields)
        choices << f.caption;
    for (const FieldDefinition& f : m_targetFields) {
        auto* row = new QWidget(m_rows);
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        auto* box = new QComboBox(row);
        box->setObjectName(QStringLiteral("Combo_") + f.name);
        box->addItems(choices);
        box->setMaxVisibleItems(40);
        box->setCurrentIndex(0);
        auto* label = new QLabel(
            QStringLiteral("----->  wird übernommen in das Feld \"") + f.caption + QChar('"'), row);
        label->setObjectName(QStringLiteral("Label_") + f.name);
        rowLayout->addWidget(box, 1);
        rowLayout->addWidget(label, 1);
        m_rowLayout->addWidget(row);
        m_rowBoxes << box;
    }
    m_rowLayout->addStretch();
}

void TMigrationForm::onSourceChosen(int index) {
    m_start->setEnabled(false);
    if (index < 0 || index >= m_entries.size())
        return;
    Messages& messages = Messages::instance();
    if (index == m_targetEntry || m_entries[index].definitionName.compare(
                                      m_state.session.definitionName(), Qt::CaseInsensitive) == 0) {
        m_sourceFields.clear();
        buildRows();
        messages.information(QStringLiteral("Quell und Zieldatenbank identisch! Datensätze können "
                                            "nicht in sich selbst übernommen werden!"));
        return;
    }
    QString error;
    if (!Transfer::mappableFields(m_state.session.dataFolder(), m_entries[index].definitionName,
                                  &m_sourceFields, &error)) {
        buildRows();
        messages.error(error);
        return;
    }
    buildRows();
    m_start->setEnabled(true);
}

void TMigrationForm::onStart() {
    Messages& messages = Messages::instance();
    AddressTable* target = m_state.session.currentTable();
    const int sourceIndex = m_source->currentIndex();
    if (!target || sourceIndex < 0 || sourceIndex >= m_entries.size())
        return;
    QList<QPair<QString, QString>> mapping;
    for (int i = 0; i < m_rowBoxes.size() && i < m_targetFields.size(); ++i) {
        const int choice = m_rowBoxes[i]->currentIndex();
        if (choice > 0 && choice - 1 < m_sourceFields.size())
            mapping.append({m_targetFields[i].name, m_sourceFields[choice - 1].name});
    }
    if (mapping.isEmpty() &&
        !messages.question(QStringLiteral("Wollen Sie wirklich keine weiteren Felder zuordnen?")))
        return;

    const CatalogEntry& source = m_entries[sourceIndex];
    Transfer::Run run;
    QString error;
    if (!run.open(m_state.session.dataFolder(), source.definitionName, m_marked->isChecked(),
                  &error)) {
        messages.error(error);
        return;
    }
    const qint64 n = run.count();
    if (!messages.question(QStringLiteral("Es werden ") + QString::number(n) +
                           QStringLiteral(" Datensätze aus der Datenbank \"") + source.displayName +
                           QStringLiteral("\" in die Datenbank \"") +
                           m_state.session.displayName() +
                           QStringLiteral(" \" übernommen.\rWollen Sie den Transfer starten?")))
        return;

    qint64 unfit = 0;
    qint64 copied;
    {
        BusyCursor busy;
        m_abort->setEnabled(false);
        auto progress = [this](qint64 k, qint64 total) {
            const int percent = total > 0 ? int(std::lround(100.0 * double(k) / total)) : 100;
            m_progress->setValue(percent);
            m_status->setText(QString::number(k) + QStringLiteral(" Datensäte von ") +
                              QString::number(total) + QStringLiteral(" (") +
                              QString::number(percent) + QStringLiteral(" Prozent)"));
            m_progress->repaint();
            m_status->repaint();
        };
        target->disableControls();
        copied = run.copyInto(*target, mapping, progress, &unfit, &error);
        target->enableControls();
        run.close();
        m_abort->setEnabled(true);
    }
    if (copied < 0)
        messages.error(QStringLiteral("Der Transfer wurde abgebrochen: ") + error);
    else if (unfit > 0)
        messages.information(QString::number(unfit) +
                             QStringLiteral(" Werte passten nicht in den Typ ihres Zielfeldes "
                                            "und wurden leer gelassen."));
    accept();
}
