#include "shell/forms/TKRT_DB_SearchForm.h"

#include "common/Texts.h"
#include "shell/forms/BusyCursor.h"

#include "common/Messages.h"
#include "database/AddressTable.h"
#include "shell/AppState.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const QString kSearch = QStringLiteral("Suchen [F3]");
const QString kSearchOn = QStringLiteral("Weiter suchen [F3]");
const QString kFuzzyHelp = QStringLiteral(
    "Was ist eine unscharfe Suche?\rMit dem Algorithmus der Levenshtein-Distanz werden nicht "
    "nur exakte Übereinstimmungen mit dem Suchbegriff angezeigt, sondern auch Näherungswerte "
    "miteinbezogen um beispielsweise Vertipper trotzdem zu finden.");

QPushButton* button(QWidget* parent, const char* name, const QString& text,
                    QStyle::StandardPixmap icon) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(parent->style()->standardIcon(icon));
    b->setAutoDefault(false);
    return b;
}

QLabel* label(QWidget* parent, const char* name, const QString& text = {}) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

} // namespace

TKRT_DB_SearchForm::TKRT_DB_SearchForm(AppState& state, QWidget* parent)
    : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("KRT_DB_SearchForm"));
    setWindowTitle(QStringLiteral("Suchen"));
    setModal(true);

    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("Edit1"));
    auto* editLabel = label(this, "Label1", QStringLiteral("Suchbegriff"));
    editLabel->setBuddy(m_edit);

    m_caseBox = new QCheckBox(QStringLiteral("Groß-/Kleinschreibung beachten"), this);
    m_caseBox->setObjectName(QStringLiteral("GrossKleinCheckBox"));
    m_fuzzyBox = new QCheckBox(QStringLiteral("unscharfe Suche nach Levenshtein "), this);
    m_fuzzyBox->setObjectName(QStringLiteral("LDCheckBox"));
    m_reverseBox = new QCheckBox(QStringLiteral("Suche am Ende der Datenbank beginnen"), this);
    m_reverseBox->setObjectName(QStringLiteral("ReverseCheckbox"));
    m_helpButton =
        button(this, "Hilfebtn1", QStringLiteral("Hilfe [F1]"), QStyle::SP_DialogHelpButton);

    m_resultHeading = label(this, "ErgLabel", QStringLiteral("Suchergebnis:"));
    QFont bold = m_resultHeading->font();
    bold.setBold(true);
    m_resultHeading->setFont(bold);
    m_result1 = label(this, "ResultLabel1");
    m_result2 = label(this, "ResultLabel2");
    m_result3 = label(this, "ResultLabel3");
    for (QLabel* l : {m_result1, m_result2, m_result3})
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_editButton = button(this, "BearbeitenBitBtn", QStringLiteral("Bearbeiten (F4)"),
                          QStyle::SP_FileDialogDetailedView);
    m_deleteButton =
        button(this, "DeleteBitBtn", QStringLiteral("Löschen (F8)"), QStyle::SP_TrashIcon);
    m_okButton = button(this, "OKButton", kSearchOn, QStyle::SP_FileDialogContentsView);
    // Wide enough for both captions, so the button keeps its size when they change.
    m_okButton->setMinimumWidth(m_okButton->sizeHint().width());
    m_okButton->setText(kSearch);
    m_closeButton =
        button(this, "BitBtn1", QStringLiteral("Schließen [Esc]"), QStyle::SP_DialogCloseButton);

    auto* options = new QVBoxLayout;
    options->addWidget(m_caseBox);
    options->addWidget(m_fuzzyBox);
    options->addWidget(m_reverseBox);

    auto* top = new QGridLayout;
    top->addWidget(editLabel, 0, 0);
    top->addWidget(m_edit, 1, 0);
    top->addWidget(m_helpButton, 1, 1);
    top->addLayout(options, 2, 0, 1, 2);

    auto* results = new QVBoxLayout;
    results->addWidget(m_resultHeading);
    results->addWidget(m_result1);
    results->addWidget(m_result2);
    results->addWidget(m_result3);

    auto* recordButtons = new QHBoxLayout;
    recordButtons->addWidget(m_editButton);
    recordButtons->addWidget(m_deleteButton);
    recordButtons->addStretch();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(results);
    layout->addLayout(recordButtons);
    layout->addStretch();
    layout->addLayout(buttons);
    setMinimumWidth(420);

    connect(m_edit, &QLineEdit::textChanged, this, &TKRT_DB_SearchForm::onTextChanged);
    connect(m_caseBox, &QCheckBox::toggled, this, &TKRT_DB_SearchForm::onCaseToggled);
    connect(m_fuzzyBox, &QCheckBox::toggled, this, &TKRT_DB_SearchForm::onFuzzyToggled);
    connect(m_reverseBox, &QCheckBox::toggled, this, &TKRT_DB_SearchForm::onReverseToggled);
    connect(m_helpButton, &QPushButton::clicked, this, &TKRT_DB_SearchForm::showHelp);
    connect(m_editButton, &QPushButton::clicked, this, &TKRT_DB_SearchForm::requestEdit);
    connect(m_deleteButton, &QPushButton::clicked, this, &TKRT_DB_SearchForm::requestDelete);
    connect(m_okButton, &QPushButton::clicked, this, &TKRT_DB_SearchForm::search);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::reject);

    // The keys work on the dialog and on every control of it.
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);

    resetResults();
}

void TKRT_DB_SearchForm::execute() {
    if (!m_state.session.hasOpenTable()) {
        Messages::instance().information(Texts::openDatabaseFirst());
        return;
    }
    exec();
}

void TKRT_DB_SearchForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    resetResults();
    m_edit->setFocus();
}

void TKRT_DB_SearchForm::resetResults() {
    m_search.reset();
    m_resultHeading->setEnabled(false); // drawn grey until the next search
    m_result1->clear();
    m_result2->clear();
    m_result3->clear();
    m_editButton->setEnabled(false);
    m_deleteButton->setEnabled(false);
}

void TKRT_DB_SearchForm::moveToStart() {
    AddressTable* table = m_state.session.currentTable();
    if (!table)
        return;
    if (m_reverseBox->isChecked())
        table->last();
    else
        table->first();
}

void TKRT_DB_SearchForm::onTextChanged() {
    resetResults();
    m_okButton->setText(kSearch);
    moveToStart();
}

void TKRT_DB_SearchForm::onCaseToggled(bool on) {
    if (on)
        m_fuzzyBox->setChecked(false);
    onTextChanged();
}

void TKRT_DB_SearchForm::onFuzzyToggled(bool on) {
    m_fuzzy = on;
    if (on)
        m_caseBox->setChecked(false);
    onTextChanged();
}

void TKRT_DB_SearchForm::onReverseToggled(bool) {
    // The found flag stays: only the starting point moves.
    moveToStart();
}

void TKRT_DB_SearchForm::search() {
    AddressTable* table = m_state.session.currentTable();
    if (!table) {
        Messages::instance().information(Texts::openDatabaseFirst());
        return;
    }
    BusyCursor busy;
    m_resultHeading->setEnabled(true);
    m_okButton->setText(kSearchOn);
    RecordSearch::Options options;
    options.text = m_edit->text();
    options.caseSensitive = m_caseBox->isChecked();
    options.fuzzy = m_fuzzy;
    options.backwards = m_reverseBox->isChecked();
    showResult(m_search.step(*table, options));
    Q_EMIT searched();
}

void TKRT_DB_SearchForm::showResult(const SearchResult& result) {
    m_result1->setText(result.label1);
    m_result2->setText(result.label2);
    m_result3->setText(result.label3);
    m_editButton->setEnabled(result.editEnabled);
    m_deleteButton->setEnabled(result.deleteEnabled);
}

void TKRT_DB_SearchForm::showHelp() {
    Messages::instance().information(kFuzzyHelp);
}

void TKRT_DB_SearchForm::requestEdit() {
    if (!m_state.session.hasOpenTable())
        return;
    Q_EMIT editRequested();
    // The dialog becomes active again once the editor has closed.
    resetResults();
}

void TKRT_DB_SearchForm::requestDelete() {
    if (!m_state.session.hasOpenTable())
        return;
    Q_EMIT deleteRequested();
    resetResults();
}

bool TKRT_DB_SearchForm::handleKey(int key) {
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F3:
        search();
        return true;
    case Qt::Key_Escape:
        reject();
        return true;
    case Qt::Key_F1:
        showHelp();
        return true;
    // Like their buttons, which a hit enables (a fuzzy hit enables no deletion).
    case Qt::Key_F4:
        if (m_editButton->isEnabled())
            requestEdit();
        return true;
    case Qt::Key_F8:
        if (m_deleteButton->isEnabled())
            requestDelete();
        return true;
    default:
        return false;
    }
}

bool TKRT_DB_SearchForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            return QDialog::eventFilter(watched, event);
        if (handleKey(key->key()))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}
