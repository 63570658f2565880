#include "web/forms/TEnterpriseOptionsForm.h"

#include "web/forms/WebFormSupport.h"

#include "common/Messages.h"
#include "common/TextFile.h"
#include "database/WebSettings.h"
#include "platform/DocumentOpener.h"
#include "shell/AppState.h"
#include "shell/Startup.h"
#include "shell/forms/HelpPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

const char* const defaultSubscribeMessage =
    "Vielen Dank für Ihr Interesse. Ihnen wird in Kürze eine Bestätigungsemail zugesandt. Bitte "
    "klicken Sie auf den dort vorhandenen Link, um die Eintragung zu bestätigen.";
const char* const defaultEmailText =
    "Sie haben den Newsletter von XXXX bestellt. Um die Bestellung "
    "zu bestätigen, klicken Sie bitte auf diesen Link";

QString onlyInvalidText() {
    return u("Beachten Sie auch, dass solange eine Datensatz invalid ist, mit dieser "
             "E-Mail-Adresse auch keine Anmeldung mehr möglich ist!");
}

QLabel* heading(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

} // namespace

TEnterpriseOptionsForm::TEnterpriseOptionsForm(AppState& state, QWidget* parent)
    : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("EnterpriseOptionsForm"));
    setWindowTitle(QStringLiteral("Web Einstellungen"));
    buildControls();
}

void TEnterpriseOptionsForm::buildControls() {
    auto* layout = new QVBoxLayout(this);
    auto* dbRow = new QHBoxLayout;
    dbRow->addWidget(heading(QStringLiteral("Datenbank:"), this));
    m_dbLabel = new QLabel(this);
    m_dbLabel->setObjectName(QStringLiteral("DBLabel"));
    dbRow->addWidget(m_dbLabel, 1);
    layout->addLayout(dbRow);

    auto* columns = new QHBoxLayout;
    layout->addLayout(columns, 1);

    // Left: server, password, look, switches.
    auto* left = new QVBoxLayout;
    columns->addLayout(left, 1);
    left->addWidget(heading(u("Serverpfad für das Bestellformular"), this));
    m_onlineDb = new QLineEdit(this);
    m_onlineDb->setObjectName(QStringLiteral("OnlineDBEdit"));
    left->addWidget(m_onlineDb);
    auto* example = new QLabel(
        QStringLiteral("(z.B.  ") + WebKit::exampleServerPath() + QStringLiteral(" )"), this);
    example->setStyleSheet(QStringLiteral("color: #C00000"));
    left->addWidget(example);
    left->addWidget(heading(u("Passwort für die Newslettersychronisation"), this));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("PasswordEdit"));
    m_password->setMaxLength(40);
    WebForms::acceptLettersAndDigitsOnly(m_password);
    left->addWidget(m_password);
    left->addWidget(heading(QStringLiteral("Titel des Formulars"), this));
    m_title = new QLineEdit(QStringLiteral("Newsletter"), this);
    m_title->setObjectName(QStringLiteral("NewsletterEdit"));
    left->addWidget(m_title);

    auto* look = new QGridLayout;
    look->addWidget(new QLabel(QStringLiteral("Schriftart:"), this), 0, 0);
    m_font = new QComboBox(this);
    m_font->setObjectName(QStringLiteral("ComboBox1"));
    m_font->addItems(WebKit::fontFamilies());
    look->addWidget(m_font, 0, 1, 1, 2);
    look->addWidget(new QLabel(u("Schriftgröße:"), this), 1, 0);
    m_size = new QComboBox(this);
    m_size->setObjectName(QStringLiteral("ComboBox2"));
    for (int px = 8; px <= 20; ++px)
        m_size->addItem(QString::number(px));
    look->addWidget(m_size, 1, 1, 1, 2);
    struct ColourRow {
        const char* button;
        const char* caption;
        const char* panel;
        QFrame** frame;
        quint32* colour;
    };
    const ColourRow colourRows[] = {
        {"TextcolorButton", "Text Farbe", "TextColorPanel", &m_textPanel, &m_textColour},
        {"BKGButton", "Hintergrund Farbe", "BKGPanel", &m_bkgPanel, &m_bkgColour},
        {"BorderColorButton", "Rahmen Farbe", "BorderColorPanel", &m_borderPanel, &m_borderColour}};
    int row = 2;
    for (const ColourRow& c : colourRows) {
        auto* b = new QPushButton(u(c.caption), this);
        b->setObjectName(QLatin1String(c.button));
        auto* panel = new QFrame(this);
        panel->setObjectName(QLatin1String(c.panel));
        panel->setFrameShape(QFrame::Box);
        panel->setMinimumSize(60, 20);
        panel->setAutoFillBackground(true);
        *c.frame = panel;
        look->addWidget(b, row, 0, 1, 2);
        look->addWidget(panel, row, 2);
        quint32* colour = c.colour;
        connect(b, &QPushButton::clicked, this,
                [this, colour, panel] { chooseColour(colour, panel); });
        ++row;
    }
    left->addLayout(look);

    m_doubleOptIn =
        new QCheckBox(u("Double-Opt-In (Bestätigungsmail bei Newsletter-Bestellung)"), this);
    m_doubleOptIn->setObjectName(QStringLiteral("CheckBox1"));
    left->addWidget(m_doubleOptIn);
    auto* captchaRow = new QHBoxLayout;
    m_captcha = new QCheckBox(QStringLiteral("Formular mit Sicherheitscode (Captcha)"), this);
    m_captcha->setObjectName(QStringLiteral("CapchtaBox"));
    captchaRow->addWidget(m_captcha);
    auto* captchaHelp = new QPushButton(QStringLiteral("?"), this);
    captchaHelp->setObjectName(QStringLiteral("BitBtn1"));
    captchaHelp->setToolTip(QStringLiteral("Hilfe zum Sicherheitscode"));
    captchaHelp->setMaximumWidth(28);
    captchaRow->addWidget(captchaHelp);
    captchaRow->addStretch();
    left->addLayout(captchaRow);
    m_onlyInvalid =
        new QCheckBox(u("Abbestellungen nur als invalid markieren und nicht löschen"), this);
    m_onlyInvalid->setObjectName(QStringLiteral("OnlyInvalidCheckBox"));
    m_onlyInvalid->setToolTip(
        u("Wenn Sie diesen Parameter aktivieren, werden Abbestellungen nur noch als "
          "Invalid markiert und nicht mehr gelöscht. ") +
        onlyInvalidText());
    left->addWidget(m_onlyInvalid);
    left->addStretch();

    // Right: form fields, answer page, confirmation mail.
    auto* right = new QVBoxLayout;
    columns->addLayout(right, 1);
    right->addWidget(heading(QStringLiteral("Felder des Bestellformulars"), this));
    m_scrollBox = new QScrollArea(this);
    m_scrollBox->setObjectName(QStringLiteral("ScrollBox1"));
    m_scrollBox->setWidgetResizable(true);
    m_scrollBox->setMinimumHeight(110);
    right->addWidget(m_scrollBox, 1);
    right->addWidget(heading(QStringLiteral("Antwortseite nach der Bestellung"), this));
    m_subscribeMessage = new QPlainTextEdit(u(defaultSubscribeMessage), this);
    m_subscribeMessage->setObjectName(QStringLiteral("subscribemessage_Memo"));
    m_subscribeMessage->setMaximumHeight(70);
    right->addWidget(m_subscribeMessage);

    m_doubleOptInPanel = new QWidget(this);
    m_doubleOptInPanel->setObjectName(QStringLiteral("DoubleOptInPanel"));
    auto* panel = new QVBoxLayout(m_doubleOptInPanel);
    panel->setContentsMargins(0, 0, 0, 0);
    panel->addWidget(new QLabel(QStringLiteral("Betreff der Email"), m_doubleOptInPanel));
    m_subject = new QLineEdit(QStringLiteral("Newsletter Bestellung"), m_doubleOptInPanel);
    m_subject->setObjectName(QStringLiteral("SubjectEdit"));
    panel->addWidget(m_subject);
    panel->addWidget(new QLabel(QStringLiteral("Text der Email"), m_doubleOptInPanel));
    m_emailText = new QPlainTextEdit(u(defaultEmailText), m_doubleOptInPanel);
    m_emailText->setObjectName(QStringLiteral("email_text_Memo"));
    m_emailText->setMaximumHeight(70);
    panel->addWidget(m_emailText);
    auto* fixed = new QPlainTextEdit(
        QStringLiteral("+++Automatisch erzeugter Link+++\n"
                       "Wenn dieser Link nicht innerhalb von 2 Wochen angeklickt \n"
                       "wird, wird die Eintragung wieder unwirksam."),
        m_doubleOptInPanel);
    fixed->setObjectName(QStringLiteral("FixedLinesMemo"));
    fixed->setEnabled(false);
    fixed->setMaximumHeight(60);
    panel->addWidget(fixed);
    right->addWidget(m_doubleOptInPanel);
    m_doubleOptInPanel->setVisible(false);

    auto* buttons = new QHBoxLayout;
    auto* save = new QPushButton(QStringLiteral("Speichern"), this);
    save->setObjectName(QStringLiteral("FormularErzeugenBitBtn1"));
    save->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setObjectName(QStringLiteral("AbbrechenButton"));
    cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    auto* help = new QPushButton(QStringLiteral("Hilfe"), this);
    help->setObjectName(QStringLiteral("HilfeBitBtn"));
    help->setIcon(style()->standardIcon(QStyle::SP_DialogHelpButton));
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    layout->addLayout(buttons);

    connect(m_doubleOptIn, &QCheckBox::toggled, m_doubleOptInPanel, &QWidget::setVisible);
    connect(m_onlyInvalid, &QCheckBox::clicked, this, [](bool on) {
        if (on)
            Messages::instance().information(u("Durch diese Einstellung werden Abbestellungen nur "
                                               "noch als Invalid markiert und nicht "
                                               "mehr gelöscht. ") +
                                             onlyInvalidText());
    });
    connect(captchaHelp, &QPushButton::clicked, this, [] {
        Messages::instance().information(
            u("Hier können Sie einstellen, ob bei der Eingabe des Formulares zusätzlich \r"
              "ein Sicherheitscode ausgefüllt werden muss. Damit können Sie automatisierte\r"
              "Eintragungen verhindern! Um dieses Feature nutzen zu können muss Ihr verwendeter\r"
              "Webspace neben PHP auch Grafikerzeugung per GD-Library unterstützen. Dieses\r"
              "können Sie bei Ihrem Provider in Erfahrung bringen!\r\r"
              "ACHTUNG! Wenn Sie diese Option verändern, müssen Sie auch die veränderten Scripte\r"
              "neu auf Ihren Webspace übertragen!"));
    });
    connect(save, &QPushButton::clicked, this, &TEnterpriseOptionsForm::save);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] { OpenHelpPage(m_state); });
    resize(900, 600);
}

int TEnterpriseOptionsForm::runModal() {
    if (!WebForms::requireDatabase(m_state.session))
        return QDialog::Rejected;
    loadSettings();
    buildFieldRows();
    return exec();
}

void TEnterpriseOptionsForm::loadSettings() {
    const DatabaseSession& session = m_state.session;
    const WebSettings web(session.dataFolder(), session.definitionName());
    m_onlineDb->clear();
    m_password->clear();
    m_title->setText(QStringLiteral("Newsletter"));
    m_textColour = WebSettings::defaultFontColor;
    m_borderColour = WebSettings::defaultBorderColor;
    m_bkgColour = WebSettings::defaultBackgroundColor;
    int font = WebSettings::defaultFont;
    int size = WebSettings::defaultFontSize;
    if (web.exists()) {
        m_onlineDb->setText(web.onlinePath());
        m_password->setText(web.onlinePassword());
        m_title->setText(web.title());
        // An unreadable colour beeps and shows black.
        auto colour = [](std::optional<WebSettings::Colour> c) -> quint32 {
            if (c)
                return *c;
            QApplication::beep();
            return 0x000000;
        };
        m_textColour = colour(web.fontColor());
        m_bkgColour = colour(web.backgroundColor());
        m_borderColour = colour(web.borderColor());
        font = web.font();
        size = web.fontSize();
        m_captcha->setChecked(web.captcha());
        m_doubleOptIn->setChecked(web.doubleOptIn());
        m_onlyInvalid->setChecked(web.invalidOnCancel());
        const QString kit = m_state.folders.programFolder + QStringLiteral("online/") +
                            WebKit::kitFolderName(web.onlinePath()) + QLatin1Char('/');
        QStringList lines;
        if (TextFile::readLines(kit + QStringLiteral("subscribemessage.txt"), &lines))
            m_subscribeMessage->setPlainText(lines.join(QLatin1Char('\n')));
        if (TextFile::readLines(kit + QStringLiteral("email_subject.txt"), &lines))
            m_subject->setText(lines.value(0));
        if (TextFile::readLines(kit + QStringLiteral("email_text.txt"), &lines))
            m_emailText->setPlainText(lines.join(QLatin1Char('\n')));
    }
    m_font->setCurrentIndex(font);
    m_size->setCurrentIndex(size);
    showColour(m_textPanel, m_textColour);
    showColour(m_bkgPanel, m_bkgColour);
    showColour(m_borderPanel, m_borderColour);
    m_doubleOptInPanel->setVisible(m_doubleOptIn->isChecked());
}

QString TEnterpriseOptionsForm::fieldChoicePath() const {
    return m_state.folders.programFolder + QStringLiteral("enterprise_fields.ini");
}

void TEnterpriseOptionsForm::buildFieldRows() {
    delete m_scrollBox->takeWidget();
    m_fields.clear();
    m_fieldBoxes.clear();
    const QList<bool> choices = WebKit::readFieldChoices(fieldChoicePath());
    m_rowsWidget = new QWidget;
    auto* grid = new QGridLayout(m_rowsWidget);
    grid->setVerticalSpacing(0);
    const QList<FieldDefinition> targets = m_state.session.definition().targetFields();
    for (int i = 0; i < targets.size(); ++i) {
        WebKit::Field f{targets[i].name.trimmed(), targets[i].caption.trimmed(),
                        choices.value(i, false)};
        if (f.caption.isEmpty())
            f.caption = f.name;
        const bool mail = f.name.compare(QLatin1String("Mail"), Qt::CaseInsensitive) == 0;
        if (mail)
            f.checked = true;
        auto* label = new QLabel(f.caption, m_rowsWidget);
        label->setObjectName(QStringLiteral("Label_") + f.name);
        label->setFixedHeight(20);
        auto* box = new QCheckBox(m_rowsWidget);
        box->setObjectName(QStringLiteral("Check_") + f.name);
        // Only as wide as its indicator, so a click anywhere on it toggles it.
        box->setFixedSize(box->sizeHint().width(), 20);
        box->setChecked(f.checked);
        box->setEnabled(!mail);
        grid->addWidget(label, i, 0);
        grid->addWidget(box, i, 1);
        m_fields << f;
        m_fieldBoxes << box;
    }
    grid->setRowStretch(int(targets.size()), 1);
    grid->setColumnStretch(2, 1);
    m_scrollBox->setWidget(m_rowsWidget);
}

void TEnterpriseOptionsForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_dbLabel->setText(m_state.session.displayName());
    if (!m_onlineDb->text().isEmpty() && m_password->text().isEmpty())
        Messages::instance().information(
            u("Achtung! Sie verwenden noch eine alte (unsichere) Konfiguration. \r"
              "Bitte geben Sie ein Passwort für Ihre Newslettersynchronisation ein,\r"
              "speichern Sie das Formular und befolgen Sie die weiteren Schritte!\r"
              "WICHTIG! Holen Sie ZUVOR die noch online gespeicherten Bestellungen und "
              "Abbestellungen ab!"));
}

void TEnterpriseOptionsForm::done(int result) {
    storeFieldChoices();
    QDialog::done(result);
}

void TEnterpriseOptionsForm::storeFieldChoices() {
    if (m_fields.isEmpty())
        return;
    for (int i = 0; i < m_fields.size(); ++i)
        m_fields[i].checked = m_fieldBoxes[i]->isChecked();
    QString error;
    if (!WebKit::writeFieldChoices(fieldChoicePath(), m_fields, &error))
        Messages::instance().error(error);
    delete m_scrollBox->takeWidget();
    m_rowsWidget = nullptr;
    m_fields.clear();
    m_fieldBoxes.clear();
}

void TEnterpriseOptionsForm::chooseColour(quint32* colour, QFrame* panel) {
    const QColor chosen = QColorDialog::getColor(QColor::fromRgb(*colour), this);
    if (!chosen.isValid())
        return;
    *colour = chosen.rgb() & 0xFFFFFF;
    showColour(panel, *colour);
}

void TEnterpriseOptionsForm::showColour(QFrame* panel, quint32 colour) {
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, QColor::fromRgb(colour));
    panel->setPalette(p);
}

WebKit::Values TEnterpriseOptionsForm::currentValues() const {
    WebKit::Values v;
    v.serverPath = m_onlineDb->text().trimmed();
    v.password = m_password->text().trimmed();
    v.title = m_title->text();
    v.fontColor = m_textColour;
    v.backgroundColor = m_bkgColour;
    v.borderColor = m_borderColour;
    v.font = m_font->currentIndex();
    v.fontSize = m_size->currentIndex();
    v.captcha = m_captcha->isChecked();
    v.doubleOptIn = m_doubleOptIn->isChecked();
    v.subscribeMessage = m_subscribeMessage->toPlainText().split(QLatin1Char('\n'));
    v.subject = m_subject->text();
    v.emailText = m_emailText->toPlainText().split(QLatin1Char('\n'));
    v.databaseName = m_state.session.displayName();
    v.version = Startup::productVersion();
    return v;
}

void TEnterpriseOptionsForm::save() {
    Messages& messages = Messages::instance();
    const QString problem = WebKit::validate(m_onlineDb->text(), m_password->text());
    if (!problem.isEmpty()) {
        messages.error(problem);
        return;
    }
    const WebKit::Values values = currentValues();
    for (int i = 0; i < m_fields.size(); ++i)
        m_fields[i].checked = m_fieldBoxes[i]->isChecked();
    QStringList errors;
    m_lastKitFolder = generateKit(values, &errors);
    if (!errors.isEmpty())
        messages.error(u("Einige Dateien des Web-Kits konnten nicht geschrieben werden:\r") +
                       errors.join(QLatin1Char('\r')));
    if (!m_lastKitFolder.isEmpty() &&
        messages.question(
            u("Bestellformular, Abbestellformular und Einbauanleitung wurden erstellt! "
              "Möchten Sie die Voransicht nun starten?")))
        Documents::openOrReport(
            QUrl::fromLocalFile(m_state.folders.programFolder + QStringLiteral("einbau.html")),
            messages);
    if (!storeSettings(values))
        return;
    m_state.session.reloadWebSettings();
    Q_EMIT settingsSaved();
    accept();
}

QString TEnterpriseOptionsForm::generateKit(const WebKit::Values& values, QStringList* errors) {
    // The kit goes below the program folder; where that cannot be written, into a folder
    // the user picks (cancelling skips the generation, the settings are stored anyway).
    const QString base = WebForms::outputBase(m_state.folders.programFolder);
    if (base.isEmpty())
        return {};
    const QString kit = base + WebKit::kitFolderName(values.serverPath);
    *errors = WebKit::generate(values, m_fields, m_state.folders.programFolder, kit);
    return kit;
}

bool TEnterpriseOptionsForm::storeSettings(const WebKit::Values& v) {
    const DatabaseSession& session = m_state.session;
    WebSettings web(session.dataFolder(), session.definitionName());
    const bool ok = web.setOnlinePath(v.serverPath) && web.setBackgroundColor(v.backgroundColor) &&
                    web.setFontColor(v.fontColor) && web.setBorderColor(v.borderColor) &&
                    web.setFont(v.font) && web.setFontSize(v.fontSize) && web.setTitle(v.title) &&
                    web.setOnlinePassword(v.password) && web.setCaptcha(v.captcha) &&
                    web.setDoubleOptIn(v.doubleOptIn) &&
                    web.setInvalidOnCancel(m_onlyInvalid->isChecked());
    if (!ok)
        Messages::instance().error(u("Die Web-Einstellungen können nicht gespeichert werden: ") +
                                   QDir::toNativeSeparators(web.path()));
    return ok;
}
