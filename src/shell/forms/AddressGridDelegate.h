#pragma once
#include <QPixmap>
#include <QStyledItemDelegate>

class AddressGridModel;

// Draws the cells of the address grid: a boolean column defined in the .pro lines shows
// True.bmp or False.bmp at the cell's top-left corner instead of its text.
class AddressGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    AddressGridDelegate(const AddressGridModel* model, QObject* parent = nullptr);

    void setBitmaps(const QPixmap& trueBitmap, const QPixmap& falseBitmap);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    const AddressGridModel* m_model;
    QPixmap m_true;
    QPixmap m_false;
};
