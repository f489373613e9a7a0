#pragma once

#include <QStyledItemDelegate>

// Paints one row of the quick-paste list: the shortcut badge, the entry (a
// line of text with an optional colour swatch, or an image thumbnail), the
// Return mark on the selected row, and the alternating stripes.
class QuickPasteRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // Item data roles the list fills in besides Qt::DisplayRole (the text as
    // shown, trailing white space already removed).
    enum Role {
        ImageRole = Qt::UserRole + 1, // QImage of an image entry
        SwatchRole, // QColor when the entry's text names a colour
    };

    static constexpr int rowHeight = 36;
    static constexpr int horizontalPadding = 16;

    explicit QuickPasteRowDelegate(QObject *parent = nullptr);

    void setSelectedRow(int row) { m_selectedRow = row; }
    int selectedRow() const { return m_selectedRow; }

    // Width of the badge column: wide enough for the longest badge text.
    int badgeWidth(const QFont &baseFont) const;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    static QFont badgeFont(const QFont &base);
    static QFont textFont(const QFont &base);

private:
    int m_selectedRow = 0;
};
