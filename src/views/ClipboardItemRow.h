#pragma once

#include "clipboard/ClipboardItem.h"

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <QString>
#include <QVariantAnimation>

#include <functional>
#include <optional>

// One entry of the history window: the entry's text (at most two lines, tail
// truncated, trailing white space not shown) with a colour swatch when the
// text is a colour, or a thumbnail of its image. The whole row is the click
// target and runs its action. Rows alternate between a faint stripe (even
// index) and no background; the pointer over a row fades in a hover
// background within 0.1 s.
class ClipboardItemRow : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(bool isHovered READ isHovered NOTIFY isHoveredChanged)

public:
    static constexpr int horizontalPadding = 16;
    static constexpr int verticalPadding = 10;
    static constexpr int maxTextLines = 2;
    static constexpr int maxThumbnailHeight = 36;
    static constexpr int maxThumbnailWidth = 320; // the window's width
    static constexpr int swatchSize = 16;
    static constexpr int hoverFadeMs = 100;
    // Characters of a text considered for display: more never fit two lines,
    // and laying out a huge clip on every paint would stall the window.
    static constexpr int maxDisplayedCharacters = 2000;
    static_assert(maxDisplayedCharacters <= ClipboardText::maxDisplayLength);
    static_assert(2 * maxThumbnailHeight <= ClipboardImage::thumbnailBox.height()
                  && 2 * (maxThumbnailWidth - 2 * horizontalPadding) <= ClipboardImage::thumbnailBox.width());

    ClipboardItemRow(const ClipboardItem &item, int index, std::function<void()> action,
                     QWidget *parent = nullptr);

    const ClipboardItem &item() const { return m_item; }
    int index() const { return m_index; }
    void setIndex(int index);
    bool isHovered() const { return m_hovered; }

    // The background the row paints now (stripe, none, or the hover fade).
    QColor backgroundColor() const;
    // The swatch colour, when the entry's untrimmed text is a colour.
    const std::optional<QColor> &swatchColor() const { return m_swatch; }
    // The lines drawn for a text entry, laid out for the given text width;
    // the last one ends with an ellipsis when the text goes on.
    QStringList visibleLines(int textWidth) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

Q_SIGNALS:
    void isHoveredChanged(bool isHovered);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void setHovered(bool hovered);
    int contentHeight(int width) const;
    int textWidth(int rowWidth) const;
    QSize thumbnailSize(int rowWidth) const;

    ClipboardItem m_item;
    int m_index;
    bool m_hovered = false;
    QString m_displayText; // already cut to maxDisplayedCharacters
    bool m_textCut = false;
    std::optional<QColor> m_swatch;
    QPixmap m_thumbnail; // the entry's thumbnail, at most twice the drawn size
    QSize m_imageSize; // of the full picture, for the drawn size
    QVariantAnimation m_hoverFade; // 0 = no hover background, 1 = full
};
