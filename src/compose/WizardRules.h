#pragma once
#include <QString>
#include <QStringList>

class TableDefinition;

// Rules of the composition wizard's HTML paths that need no window.
namespace WizardRules {

// "Quillon_Bsp1.eml" ... "Quillon_Bsp5.eml".
QStringList sampleMailNames();
// Creates userTemplatesFolder when it is missing and copies every sample mail of
// templatesFolder into it that is not there yet (an existing file is never replaced).
// False with a German message when the folder cannot be made or a copy fails.
bool provideSampleMails(const QString& templatesFolder, const QString& userTemplatesFolder,
                        QString* error);

// The "mailto:" text that starts a new mail in the user's mail program, its body
// listing the placeholders of the open table.
QString newHtmlMailLink(const TableDefinition& definition, bool unsubscribeLink = false);

// The open page's instruction after each way of reaching it.
QString openExistingInstruction();
QString openNewMailInstruction();

} // namespace WizardRules
