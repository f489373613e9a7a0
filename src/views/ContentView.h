#pragma once

#include <QHash>
#include <QUuid>
#include <QWidget>

class ClipboardItem;
class ClipboardItemRow;
class ClipboardManager;
class QLabel;
class QPushButton;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

// The history window's content: a header ("Halvex", settings and quit
// buttons), the whole history newest first as clickable rows (or "No clips
// yet" when it is empty), and a "Clear All" footer. 320 wide; the list is
// min(16 + 40 x count, 400) high and scrolls beyond that. It follows the
// history live.
//
// Clicking a row pastes that entry into the application used before: the
// manager writes it to the clipboard and schedules the paste keystroke, then
// the view asks its window to close (dismissRequested) and the application to
// step back (hideApplicationRequested), in that order, so that the previous
// window has the focus again when the keystroke arrives. Whoever shows the
// view connects these requests and the two header buttons' signals.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int viewWidth = 320;
    static constexpr int maxListHeight = 400;
    static constexpr int rowHeight = 40;
    static constexpr int listVerticalPadding = 8;

    // The list's height for count entries: min(16 + 40 x count, 400).
    static int listHeight(int count);

    explicit ContentView(ClipboardManager *manager, QWidget *parent = nullptr);

    ClipboardManager *clipboardManager() const { return m_manager; }
    // The rows in list order (newest entry first). Rows of entries that
    // arrived while the window was closed are built when it is shown.
    QList<ClipboardItemRow *> rows() const;

Q_SIGNALS:
    void dismissRequested();
    void hideApplicationRequested();
    void settingsRequested();
    void quitRequested();

protected:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildHeader();
    QWidget *buildEmptyState();
    QWidget *buildFooter();
    void syncRows();
    void pasteEntry(const QUuid &id);
    void applyColors();

    ClipboardManager *m_manager;
    QToolButton *m_settingsButton = nullptr;
    QToolButton *m_quitButton = nullptr;
    QLabel *m_emptyIcon = nullptr;
    QLabel *m_emptyLabel = nullptr;
    QWidget *m_emptyState = nullptr;
    QScrollArea *m_listArea = nullptr;
    QWidget *m_listContent = nullptr;
    QVBoxLayout *m_listLayout = nullptr;
    QPushButton *m_clearAllButton = nullptr;
    QHash<QUuid, ClipboardItemRow *> m_rowsById;
    QList<ClipboardItemRow *> m_rows;
    bool m_rowsMissing = false; // entries arrived while the window was closed
};
