#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// The subscription web kit: the order and cancellation forms, the password guards of the
// lists the site collects, the data files of the site's scripts, copies of the shipped
// server scripts and the local instruction pages. Written when the web settings are saved.
namespace WebKit {

// One form field offered for the kit: a target field of the open table.
struct Field {
    QString name;
    QString caption;
    bool checked = false;
};

// What the generated files are made of: the web settings dialog at the moment of saving.
struct Values {
    QString serverPath; // as entered, ending with "/"
    QString password;   // sync password
    QString title;
    quint32 fontColor = 0x000000;
    quint32 backgroundColor = 0xFFFFFF;
    quint32 borderColor = 0x004080;
    int font = 4;     // index into fontFamilies()
    int fontSize = 2; // item index of "8".."20"
    bool captcha = false;
    bool doubleOptIn = true;
    QStringList subscribeMessage; // memo lines of the page shown after an order
    QString subject;              // of the confirmation mail
    QStringList emailText;        // memo lines of the confirmation mail
    QString databaseName;         // display name of the database
    QString version;              // program version text
};

struct TitlePhrase {
    QString phrase;
    QString address;
};

// The font family texts of the font box, in item order.
const QStringList& fontFamilies();
// The seven page title phrases, each with its product page.
const QList<TitlePhrase>& titlePhrases();
// Pixel size of a size item (8 .. 20) and its size for the old HTML font tag.
int fontPixels(int sizeIndex);
int htmlFontSize(int pixels);

// The example server path of the dialog and its messages.
QString exampleServerPath();
// The kit folder name: the last "/"-separated word of the server path.
QString kitFolderName(const QString& serverPath);
// The first failing check of "Speichern" on server path and sync password, in the order
// the user meets them; empty when both pass.
QString validate(const QString& serverPath, const QString& password);
// The memo's lines joined with single blanks, trimmed after each step.
QString joinMemoLines(const QStringList& lines);
// "Version" (any case) removed from the first line of the version text, trimmed.
QString versionForKit(const QString& versionText);

// The field choices of enterprise_fields.ini: one "1" or "0" line per offered field.
QList<bool> readFieldChoices(const QString& path);
bool writeFieldChoices(const QString& path, const QList<Field>& fields, QString* error);

// The files the kit copies from the program folder, in the order they are written.
QStringList copiedFiles();

// Writes the kit into kitFolder (created with its parents) and the instruction pages into
// programFolder, in the order of the kit's table. pick(n) returns a number 0..n-1 (the
// random title phrase of each page). Returns the German messages of files that could not
// be written or copied; the other files are written all the same.
QStringList generate(const Values& values, const QList<Field>& fields, const QString& programFolder,
                     const QString& kitFolder, const std::function<int(int)>& pick = {});

// The generated files' lines (also used by the instruction pages).
struct Pages {
    QStringList subscribe, snippet, unsubscribe, index, einbau, extraEinbau, integriertEinbau,
        extra, layoutCss, guard;
    QString passwordFile, versionFile;
};
Pages pages(const Values& values, const QList<Field>& fields, const QString& kitFolder,
            const std::function<int(int)>& pick = {});

} // namespace WebKit
