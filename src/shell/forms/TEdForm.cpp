#include "shell/forms/TEdForm.h"

#include "common/Messages.h"
#include "common/Texts.h"
#include "database/AddressTable.h"
#include "database/SystemColumns.h"
#include "shell/AppState.h"
#include "shell/forms/HelpPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kComboVisibleEntries = 40;
constexpr int kLabelGap = 4; // between a label's end and its control

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text,
                        QStyle::StandardPixmap icon) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(parent->style()->standardIcon(icon));
    b->setAutoDefault(false);
    return b;
}

} // namespace

TEdForm::TEdForm(AppState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("EdForm"));
    setWindowTitle(QStringLiteral("Editor"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setModal(true);

    m_heading = new QLabel(this);
    m_heading->setObjectName(QStringLiteral("ESLabel1"));
    QFont bold = m_heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    m_heading->setFont(bold);

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("ScrollBox1"));
    m_scroll->setWidgetResizable(false);

    m_okButton = makeButton(this, "OKSpeedButton", QStringLiteral("Speichern (F2)"),
                            QStyle::SP_DialogSaveButton);
    m_helpButton =
        makeButton(this, "HilfeBitBtn", QStringLiteral("Hilfe"), QStyle::SP_DialogHelpButton);
    m_abortButton = makeButton(this, "AbortSpeedButton", QStringLiteral("Abbrechen (Esc)"),
                               QStyle::SP_DialogCancelButton);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_okButton);
    buttons->addStretch();
    buttons->addWidget(m_helpButton);
    buttons->addWidget(m_abortButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(m_scroll, 1);
    layout->addLayout(buttons);
    resize(EditorRow::controlX + EditorRow::width + 60, 520);

    connect(m_okButton, &QPushButton::clicked, this, &TEdForm::save);
    connect(m_abortButton, &QPushButton::clicked, this, &TEdForm::abort);
    connect(m_helpButton, &QPushButton::clicked, this, [this] { OpenHelpPage(m_state); });
}

bool TEdForm::execFor(Mode mode) {
    AddressTable* table = m_state.session.currentTable();
    if (!table) {
        Messages::instance().information(Texts::openDatabaseFirst());
        return false;
    }
    if (mode != Mode::New && table->recordCount() == 0)
        return false;
    if (mode == Mode::New && m_state.flags.checkDuplicatesOnInput) {
        QString error;
        if (!WriteExistingAddresses(m_state.session, &error))
            Messages::instance().error(error);
    }
    m_mode = mode;
    m_done = false;
    build();
    exec();
    removeControls();
    return m_done;
}

void TEdForm::build() {
    removeControls();
    const bool isNew = m_mode == Mode::New;
    const bool deleting = m_mode == Mode::Delete;
    m_heading->setText(isNew      ? QStringLiteral("Neueingabe")
                       : deleting ? QStringLiteral("Löschen")
                                  : QStringLiteral("Bearbeiten"));
    m_okButton->setText(deleting ? QStringLiteral("Löschen (F2)")
                                 : QStringLiteral("Speichern (F2)"));
    QPalette headingPalette = palette();
    QPalette buttonPalette = palette();
    if (deleting) {
        headingPalette.setColor(QPalette::WindowText, Qt::red);
        buttonPalette.setColor(QPalette::ButtonText, Qt::red);
    }
    m_heading->setPalette(headingPalette);
    m_okButton->setPalette(buttonPalette);

    const AddressTable* table = m_state.session.currentTable();
    m_panel = new QWidget;
    m_panel->setObjectName(QStringLiteral("EditorPanel"));
    const QList<EditorRow> rows = EditorRows(m_state.session.definition());
    // A label ends where its control begins, so nothing lies over a control and each
    // takes the mouse over its whole width. A caption too long for that is shortened
    // with "…" and shown whole as the label's hint.
    const int labelWidth = EditorRow::controlX - EditorRow::labelX - kLabelGap;
    int bottom = 0;
    for (const EditorRow& row : rows) {
        QWidget* control = nullptr;
        const QString text = isNew ? QString() : table->asString(row.fieldName);
        switch (row.kind) {
        case EditorRow::Kind::Combo: {
            auto* combo = new QComboBox(m_panel);
            combo->setObjectName(QStringLiteral("Combo_") + row.fieldName);
            // Editable, so a stored value outside the choices is shown and kept.
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setMaxVisibleItems(kComboVisibleEntries);
            combo->addItems(row.choices);
            combo->setCurrentIndex(-1);
            combo->setEditText(text);
            if (combo->lineEdit())
                combo->lineEdit()->installEventFilter(this);
            control = combo;
            break;
        }
        case EditorRow::Kind::Edit: {
            auto* edit = new QLineEdit(text, m_panel);
            edit->setObjectName(QStringLiteral("Edit_") + row.fieldName);
            edit->setCursorPosition(0);
            control = edit;
            break;
        }
        case EditorRow::Kind::Check: {
            auto* check = new QCheckBox(m_panel);
            check->setObjectName(QStringLiteral("Check_") + row.fieldName);
            // A new record is marked for the next mailing and valid.
            check->setChecked(
                isNew ? row.fieldName.compare(SystemColumns::Selected, Qt::CaseInsensitive) == 0
                      : table->asBool(row.fieldName));
            control = check;
            break;
        }
        }
        // A check box without text is drawn as its box only: it is as wide as that.
        const int controlWidth = row.kind == EditorRow::Kind::Check
                                     ? std::min(control->sizeHint().width(), EditorRow::width)
                                     : EditorRow::width;
        control->setGeometry(EditorRow::controlX, row.y, controlWidth, EditorRow::rowHeight);
        control->installEventFilter(this);
        // Deleting shows the record; its values are not taken.
        control->setEnabled(!deleting);
        const QString shown = fontMetrics().elidedText(row.caption, Qt::ElideRight, labelWidth);
        auto* label = new QLabel(shown, m_panel);
        if (shown != row.caption)
            label->setToolTip(row.caption);
        label->setObjectName(QStringLiteral("Label_") + row.fieldName);
        label->setGeometry(EditorRow::labelX, row.y, labelWidth, EditorRow::rowHeight);
        // A click on the caption acts on its field, as it would on a check box's text.
        label->setBuddy(control);
        label->installEventFilter(this);
        label->setVisible(!row.hidden);
        control->setVisible(!row.hidden);
        m_rows.append({row, control});
        bottom = row.y + EditorRow::rowHeight;
    }
    m_panel->setFixedSize(EditorRow::controlX + EditorRow::width + 10, bottom + 4);
    m_scroll->setWidget(m_panel);
    for (const RowControls& rc : m_rows) {
        if (!rc.row.hidden && rc.control->isEnabled()) {
            rc.control->setFocus();
            break;
        }
    }
}

void TEdForm::removeControls() {
    m_rows.clear();
    if (m_panel) {
        m_scroll->takeWidget();
        delete m_panel;
        m_panel = nullptr;
    }
}

FieldValues TEdForm::controlValues() const {
    FieldValues values;
    for (const RowControls& rc : m_rows) {
        if (rc.row.hidden)
            continue; // hidden fields (the ID and the like) keep their stored value
        QString text;
        if (auto* combo = qobject_cast<QComboBox*>(rc.control))
            text = combo->currentText();
        else if (auto* edit = qobject_cast<QLineEdit*>(rc.control))
            text = edit->text();
        else if (auto* check = qobject_cast<QCheckBox*>(rc.control))
            text = check->isChecked() ? QStringLiteral("True") : QStringLiteral("False");
        values.append({rc.row.fieldName, text});
    }
    return values;
}

void TEdForm::save() {
    if (!m_panel)
        return;
    if (m_mode == Mode::Delete) {
        m_done = DeleteCurrentRecord(m_state.session, Messages::instance());
        accept();
        return;
    }
    const SaveOutcome outcome =
        SaveRecord(m_state.session, m_mode == Mode::New, controlValues(),
                   m_state.flags.checkDuplicatesOnInput, Messages::instance());
    if (outcome == SaveOutcome::Refused || outcome == SaveOutcome::Failed)
        return; // the entry stays in the editor, unsaved
    m_done = outcome == SaveOutcome::Saved;
    accept();
}

void TEdForm::abort() {
    // Nothing was written to the record yet: closing discards the entry.
    reject();
}

bool TEdForm::eventFilter(QObject* watched, QEvent* event) {
    if (auto* label = qobject_cast<QLabel*>(watched); label && label->buddy()) {
        QWidget* control = label->buddy();
        if (event->type() == QEvent::MouseButtonPress && control->isEnabled()) {
            control->setFocus(Qt::MouseFocusReason);
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease && control->isEnabled()) {
            if (auto* check = qobject_cast<QCheckBox*>(control))
                check->toggle();
            return true;
        }
        return QDialog::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_PageDown:
            focusNextChild();
            return true;
        case Qt::Key_PageUp:
            focusPreviousChild();
            return true;
        case Qt::Key_F2:
            save();
            return true;
        case Qt::Key_Escape:
            abort();
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TEdForm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_F2:
        save();
        return;
    case Qt::Key_Escape:
        abort();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return; // no default button
    default:
        QDialog::keyPressEvent(event);
    }
}
