#include "shell/forms/TFilterForm.h"

#include "common/Messages.h"
#include "common/Texts.h"
#include "database/AddressTable.h"
#include "database/DatabaseDefinition.h"
#include "shell/AppState.h"
#include "shell/forms/HelpPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// Entries selected when a box has no selection yet: the 14th and the 10th.
constexpr int kDefaultEntry1 = 13;
constexpr int kDefaultEntry2 = 9;

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QGroupBox* conditionGroup(QWidget* parent, const char* name, const QString& title, QComboBox* field,
                          QPushButton* op, QLineEdit* value) {
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(QString::fromLatin1(name));
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Spalte"), group), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Bedingung"), group), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Wert"), group), 0, 2);
    grid->addWidget(field, 1, 0);
    grid->addWidget(op, 1, 1);
    grid->addWidget(value, 1, 2);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(2, 2);
    return group;
}

} // namespace

TFilterForm::TFilterForm(AppState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("FilterForm"));
    setWindowTitle(QStringLiteral("Filter"));
    setModal(true);
    setMinimumWidth(560);

    auto* heading =
        new QLabel(QStringLiteral("Filtern von Datensätzen nach bestimmten Kriterien:"), this);
    heading->setObjectName(QStringLiteral("HeadingLabel"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    m_operator1 = m_operator2 = FilterBuilder::operators().first();
    m_connector = FilterBuilder::noConnector();

    m_field1 = new QComboBox(this);
    m_field1->setObjectName(QStringLiteral("Field1ComboBox"));
    m_operate1 = makeButton(this, "Operate1Btn", m_operator1);
    m_exp1 = new QLineEdit(this);
    m_exp1->setObjectName(QStringLiteral("Exp1Edit"));
    auto* group1 = conditionGroup(this, "GroupBox1", QStringLiteral("Bedingung 1"), m_field1,
                                  m_operate1, m_exp1);

    m_connectorButton = makeButton(this, "ConectorBtn", m_connector);

    m_field2 = new QComboBox(this);
    m_field2->setObjectName(QStringLiteral("Field2ComboBox"));
    m_operate2 = makeButton(this, "Operate2Btn", m_operator2);
    m_exp2 = new QLineEdit(this);
    m_exp2->setObjectName(QStringLiteral("Exp2Edit"));
    m_group2 = conditionGroup(this, "GroupBox2", QStringLiteral("Bedingung 2"), m_field2,
                              m_operate2, m_exp2);

    auto* expertLabel =
        new QLabel(QStringLiteral("Für Experten: Selbst definiertes Filterkriterium"), this);
    m_expressionEdit = new QLineEdit(this);
    m_expressionEdit->setObjectName(QStringLiteral("ExpressionEdit"));
    expertLabel->setBuddy(m_expressionEdit);

    m_onButton = makeButton(this, "OnBitBtn", QStringLiteral("Filter an"));
    m_onButton->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    m_offButton = makeButton(this, "OffBitBtn", QStringLiteral("Filter aus"));
    m_offButton->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    m_helpButton = makeButton(this, "HilfeBitBtn", QStringLiteral("Hilfe"));
    m_helpButton->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    m_closeButton = makeButton(this, "CloseButton", QStringLiteral("Schließen"));
    m_closeButton->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));

    auto* connectorRow = new QHBoxLayout;
    connectorRow->addWidget(m_connectorButton);
    connectorRow->addStretch();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_onButton);
    buttons->addWidget(m_offButton);
    buttons->addStretch();
    buttons->addWidget(m_helpButton);
    buttons->addWidget(m_closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(group1);
    layout->addLayout(connectorRow);
    layout->addWidget(m_group2);
    layout->addWidget(expertLabel);
    layout->addWidget(m_expressionEdit);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(m_field1, &QComboBox::currentIndexChanged, this, &TFilterForm::onField1Changed);
    connect(m_field2, &QComboBox::currentIndexChanged, this, &TFilterForm::onField2Changed);
    connect(m_exp1, &QLineEdit::textChanged, this, &TFilterForm::onValue1Changed);
    connect(m_exp2, &QLineEdit::textChanged, this, &TFilterForm::onValue2Changed);
    connect(m_operate1, &QPushButton::clicked, this, &TFilterForm::onOperator1Clicked);
    connect(m_operate2, &QPushButton::clicked, this, &TFilterForm::onOperator2Clicked);
    connect(m_connectorButton, &QPushButton::clicked, this, &TFilterForm::onConnectorClicked);
    connect(m_onButton, &QPushButton::clicked, this, &TFilterForm::applyFilter);
    connect(m_offButton, &QPushButton::clicked, this, &TFilterForm::clearFilter);
    connect(m_helpButton, &QPushButton::clicked, this, [this] { OpenHelpPage(m_state); });
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::accept);

    updateSecondCondition();
}

void TFilterForm::execute() {
    if (!m_state.session.hasOpenTable()) {
        Messages::instance().information(Texts::openDatabaseFirst());
        return;
    }
    exec();
}

QString TFilterForm::expression() const {
    return m_expressionEdit->text();
}

void TFilterForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    refill();
}

void TFilterForm::done(int result) {
    m_fieldNames.clear();
    QDialog::done(result);
}

void TFilterForm::refill() {
    const int previous1 = m_field1->currentIndex();
    const int previous2 = m_field2->currentIndex();
    const QList<FieldDefinition>& fields = m_state.session.definition().fields;
    QStringList captions;
    m_fieldNames.clear();
    for (const FieldDefinition& f : fields) {
        captions << f.caption;
        m_fieldNames << f.name;
    }
    auto fill = [&](QComboBox* box, int previous, int defaultEntry) {
        const QSignalBlocker blocker(box);
        box->clear();
        box->addItems(captions);
        int index = previous;
        if (index < 0 || index >= captions.size())
            index = defaultEntry < captions.size() ? defaultEntry : 0;
        box->setCurrentIndex(captions.isEmpty() ? -1 : index);
    };
    fill(m_field1, previous1, kDefaultEntry1);
    fill(m_field2, previous2, kDefaultEntry2);
    recomputeFirst();
    m_builder.setPart(FilterBuilder::Connector, FilterBuilder::connectorPart(m_connector));
    // The second condition follows the refilled box as well, so the expression never
    // names a field of another database.
    if (m_connector != FilterBuilder::noConnector())
        recomputeSecond();
    rebuild();
}

QString TFilterForm::fieldNameAt(int index) const {
    return index >= 0 && index < m_fieldNames.size() ? m_fieldNames.at(index) : QString();
}

void TFilterForm::recomputeFirst() {
    const int index = m_field1->currentIndex();
    m_builder.setPart(FilterBuilder::Field1, fieldNameAt(index));
    m_builder.setPart(FilterBuilder::Operator1, m_operator1);
    m_builder.setPart(FilterBuilder::Value1, FilterBuilder::valuePart(m_exp1->text(), index));
}

void TFilterForm::recomputeSecond() {
    if (m_connector == FilterBuilder::noConnector()) {
        for (auto part : {FilterBuilder::Connector, FilterBuilder::Field2, FilterBuilder::Operator2,
                          FilterBuilder::Value2})
            m_builder.setPart(part, QString());
        return;
    }
    const int index = m_field2->currentIndex();
    m_builder.setPart(FilterBuilder::Connector, FilterBuilder::connectorPart(m_connector));
    m_builder.setPart(FilterBuilder::Field2, fieldNameAt(index));
    m_builder.setPart(FilterBuilder::Operator2, m_operator2);
    m_builder.setPart(FilterBuilder::Value2, FilterBuilder::valuePart(m_exp2->text(), index));
}

void TFilterForm::rebuild() {
    m_expressionEdit->setText(m_builder.expression());
}

void TFilterForm::onField1Changed(int index) {
    m_builder.setPart(FilterBuilder::Field1, fieldNameAt(index));
    m_builder.setPart(FilterBuilder::Value1, FilterBuilder::valuePart(m_exp1->text(), index));
    rebuild();
}

void TFilterForm::onField2Changed(int index) {
    if (m_connector == FilterBuilder::noConnector())
        return;
    m_builder.setPart(FilterBuilder::Field2, fieldNameAt(index));
    m_builder.setPart(FilterBuilder::Value2, FilterBuilder::valuePart(m_exp2->text(), index));
    rebuild();
}

void TFilterForm::onValue1Changed() {
    m_builder.setPart(FilterBuilder::Value1,
                      FilterBuilder::valuePart(m_exp1->text(), m_field1->currentIndex()));
    rebuild();
}

void TFilterForm::onValue2Changed() {
    if (m_connector == FilterBuilder::noConnector())
        return;
    m_builder.setPart(FilterBuilder::Value2,
                      FilterBuilder::valuePart(m_exp2->text(), m_field2->currentIndex()));
    rebuild();
}

void TFilterForm::onOperator1Clicked() {
    m_operator1 = FilterBuilder::nextOperator(m_operator1);
    m_operate1->setText(m_operator1);
    m_builder.setPart(FilterBuilder::Operator1, m_operator1);
    rebuild();
}

void TFilterForm::onOperator2Clicked() {
    m_operator2 = FilterBuilder::nextOperator(m_operator2);
    m_operate2->setText(m_operator2);
    if (m_connector != FilterBuilder::noConnector())
        m_builder.setPart(FilterBuilder::Operator2, m_operator2);
    rebuild();
}

void TFilterForm::onConnectorClicked() {
    m_connector = FilterBuilder::nextConnector(m_connector);
    updateSecondCondition();
    recomputeSecond();
    rebuild();
}

void TFilterForm::updateSecondCondition() {
    m_connectorButton->setText(m_connector);
    const bool on = m_connector != FilterBuilder::noConnector();
    m_field2->setEnabled(on);
    m_operate2->setEnabled(on);
    m_exp2->setEnabled(on);
}

bool TFilterForm::applyFilter() {
    AddressTable* table = m_state.session.currentTable();
    if (!table) {
        Messages::instance().information(Texts::openDatabaseFirst());
        return false;
    }
    QString error;
    if (!table->setFilter(expression(), &error)) {
        Messages::instance().error(error);
        return false;
    }
    table->setFiltered(true);
    Q_EMIT filterSwitched(true);
    return true;
}

void TFilterForm::clearFilter() {
    AddressTable* table = m_state.session.currentTable();
    if (!table) {
        Messages::instance().information(Texts::openDatabaseFirst());
        return;
    }
    table->setFiltered(false);
    table->setFilter(QString());
    Q_EMIT filterSwitched(false);
}
