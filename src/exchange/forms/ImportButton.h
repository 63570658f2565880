#pragma once
#include <QPushButton>
#include <QStyle>

// A push button of the import windows: caption, object name and a standard icon. It is
// never the default button, so Enter in a field does not start an import.
inline QPushButton* importButton(QWidget* parent, const QString& text, const char* name,
                                 QStyle::StandardPixmap icon) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setIcon(parent->style()->standardIcon(icon));
    b->setAutoDefault(false);
    return b;
}
