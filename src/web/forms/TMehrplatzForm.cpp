#include "web/forms/TMehrplatzForm.h"

#include "common/Messages.h"
#include "platform/DocumentOpener.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

QString TMehrplatzForm::downloadAddress() {
    return QStringLiteral("https://www.quillon-software.de/download/");
}

QString TMehrplatzForm::pageText(const QString& programFolder) {
    const QString folder = QDir::toNativeSeparators(programFolder).toHtmlEscaped();
    const QString code = QStringLiteral("<code>");
    const QString codeEnd = QStringLiteral("</code>");
    return u("<h3>Mehrplatzversion (Server-Version) einrichten</h3>"
             "<p>Mehrere Arbeitsplätze können mit denselben Datenbanken arbeiten, wenn alle "
             "Quillon aus einem gemeinsamen Programmordner auf einem Server starten.</p><ol>"
             "<li><p>Kopieren Sie den kompletten Ordner \"") +
           folder +
           u("\" mit allen Inhalten auf Ihren Server, in eine Netzwerkfreigabe (z.B. NFS oder "
             "SMB/CIFS), die alle Arbeitsplätze lesen und schreiben dürfen.</p></li>"
             "<li><p>Installieren Sie Quillon auf jedem Arbeitsplatz und hängen Sie dort die "
             "Freigabe ein, am besten überall am selben Ort, z.B. ") +
           code + QStringLiteral("/mnt/quillon") + codeEnd +
           u(" (Eintrag in <code>/etc/fstab</code>).<br>Download der Clientversion: "
             "<a href=\"download\">hier klicken</a></p></li>"
             "<li><p>Stellen Sie auf jedem Arbeitsplatz den Pfad zum Programmordner auf dem "
             "Server ein: setzen Sie die Umgebungsvariable ") +
           code + QStringLiteral("QUILLON_HOME=/mnt/quillon") + codeEnd +
           u(" (z.B. in <code>~/.profile</code> oder im Starter des Programms).<br>Oder legen "
             "Sie das Programm selbst in die Freigabe und dort eine leere Datei namens ") +
           code + QStringLiteral("portable") + codeEnd +
           u(" neben das Programm; es verwendet dann den Ordner, in dem es liegt.</p></li>"
             "<li><p>Starten Sie Quillon von einem beliebigen Arbeitsplatz aus. Alle "
             "Arbeitsplätze verwenden dann dieselben Datenbanken. Es arbeitet immer nur ein "
             "Arbeitsplatz zur Zeit mit den Datenbanken: läuft Quillon bereits auf einem "
             "anderen Arbeitsplatz, meldet das Programm dies beim Start und beendet "
             "sich.</p></li></ol><p><b>Fertig!</b></p>");
}

TMehrplatzForm::TMehrplatzForm(const QString& programFolder, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("MehrplatzForm"));
    setWindowTitle(u("Mehrplatzversion"));
    setMinimumWidth(560);
    auto* layout = new QVBoxLayout(this);
    m_page = new QLabel(pageText(programFolder), this);
    m_page->setObjectName(QStringLiteral("PageLabel"));
    m_page->setWordWrap(true);
    m_page->setTextFormat(Qt::RichText);
    m_page->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_page->setOpenExternalLinks(false);
    layout->addWidget(m_page);
    connect(m_page, &QLabel::linkActivated, this,
            [] { Documents::openOrReport(QUrl(downloadAddress()), Messages::instance()); });
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* ok = new QPushButton(u("OK"), this);
    ok->setObjectName(QStringLiteral("OKBtn"));
    row->addWidget(ok);
    layout->addLayout(row);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
