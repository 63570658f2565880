#pragma once
#include <QString>
#include <QStringList>

// Rules behind the composer window's controls that need no window.
namespace ComposerRules {

// File dialog filters in the "caption|patterns|caption|patterns" form.
QString templateOpenFilter();   // "Text Mail|*.mail"
QString templateSaveFilter();   // "Quillon|*.mail"
QString textFileFilter();       // "Text Datei|*.txt"
QString attachmentFilter();     // documents, pictures, office, data, mails, archives
QString wizardTemplateFilter(); // "Quillon|*.mail"
// Opening an e-mail file: "Outlook / Windows Mail Datei|*.msg;*.eml;" (.msg files are
// read without Outlook)
QString emailOpenFilter();

// A "caption|patterns|..." filter in the form the file dialogs take:
// "caption (pattern pattern);;caption (pattern)".
QString dialogFilter(const QString& pipeFilter);

// The placeholder of a list entry: the entry up to its first blank, so that
// "$FIRMA für Firma" gives "$FIRMA".
QString placeholderToken(const QString& entry);

// The body after inserting token at the caret. line is the index of the caret's line;
// a line at or beyond the end (an empty body) appends the token as a new line.
// column counts the characters before the caret. In the caret's line, the text left of
// the caret and the text right of it are trimmed and the token is put between them
// with one blank on each side (no leading blank when the caret stood at the start).
QStringList insertPlaceholder(const QStringList& lines, int line, int column, const QString& token);

// The message when no placeholder is selected.
QString noPlaceholderSelectedMessage();

// Caption of the word wrap check box for its state.
QString wordWrapCaption(bool on);

// Body text of the editor as lines and back: an empty text has no lines.
QStringList bodyLines(const QString& text);
QString bodyText(const QStringList& lines);

} // namespace ComposerRules
