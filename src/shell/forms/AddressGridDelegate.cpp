#include "shell/forms/AddressGridDelegate.h"

#include "shell/forms/AddressGridModel.h"

#include <QApplication>
#include <QPainter>

AddressGridDelegate::AddressGridDelegate(const AddressGridModel* model, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model) {}

void AddressGridDelegate::setBitmaps(const QPixmap& trueBitmap, const QPixmap& falseBitmap) {
    m_true = trueBitmap;
    m_false = falseBitmap;
}

void AddressGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const bool picture = m_model->isPictureColumn(index.column());
    const QPixmap& bitmap =
        index.data(Qt::DisplayRole).toString() == QStringLiteral("True") ? m_true : m_false;
    if (!picture || bitmap.isNull()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // Background, selection and focus as for any cell, then the picture over it.
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    painter->drawPixmap(option.rect.topLeft(), bitmap);
}
