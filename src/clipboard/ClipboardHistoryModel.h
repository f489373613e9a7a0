#pragma once

#include "clipboard/ClipboardItem.h"

#include <QAbstractListModel>
#include <QList>

// The clipboard history as a list model, newest first. Every edit is announced
// through the model's signals (rows inserted/removed, reset, data changed);
// the views observe it. Only ClipboardManager edits it.
class ClipboardHistoryModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        IdRole = Qt::UserRole + 1, // QUuid
        TextRole, // QString (the whole text, decoded), or invalid for an image entry
        ImageRole, // QImage (the full picture, decoded), or invalid for a text entry
        ExtractedTextRole, // QString, or invalid until recognition delivered text
        // Qt::DisplayRole: the text's display text; Qt::DecorationRole: the
        // image's thumbnail.
    };
    Q_ENUM(Role)

    explicit ClipboardHistoryModel(QObject *parent = nullptr);

    const QList<ClipboardItem> &items() const { return m_items; }
    int count() const { return int(m_items.size()); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Row of the first entry equal by content to item, or -1.
    int indexOf(const ClipboardItem &item, int from = 0) const;
    // Row of the entry with this id, or -1.
    int indexOfId(const QUuid &id) const;

    void prepend(const ClipboardItem &item);
    void removeAt(int row);
    // Removes every entry from row on.
    void truncate(int row);
    // Empties the list in one reset, even when it is already empty.
    void clear();
    void setExtractedText(int row, const QString &text);

private:
    QList<ClipboardItem> m_items;
};
