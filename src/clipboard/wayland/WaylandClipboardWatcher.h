#pragma once

#include "clipboard/ClipboardSnapshot.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <optional>

class WaylandConnection;
struct wl_callback;
struct wl_seat;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

// Watches the Wayland clipboard (the seat's selection) on a thread of its own,
// over a private connection and the compositor's data-control protocol, so
// that no clipboard owner can ever stall the GUI thread. Also serves the
// clipboard when Halvex owns it.
//
// Each new selection is read (an image, image/png first, else text) through a
// pipe, with a deadline for every chunk and for the whole read, prepared on
// this thread (ClipboardSnapshot::ofImage() and ofText(): PNG bytes kept as
// offered, hashes, thumbnail, display and search forms) and published as one
// ClipboardSnapshot through snapshotFetched(), emitted on this thread:
//   - a read stops at the size cap; an image whose pixels would exceed the cap
//     is not decoded (its size is read from its header first);
//   - a selection offered with the password-manager hint is not read;
//   - a selection that carries ownMimeType is Halvex's own and not published;
//   - the selection present when the watcher starts is not published;
//   - a newer selection abandons the read in progress;
//   - an owner that does not answer in time, a selection that went away and
//     the cases above yield an empty snapshot: the change is seen, nothing kept.
//
// setSelection() makes Halvex the owner: the offered bytes are served to every
// reader for as long as the watcher runs, or until another client takes the
// clipboard.
class WaylandClipboardWatcher : public QThread
{
    Q_OBJECT

public:
    // wlroots' protocol, or its standardised successor with the same shape.
    enum class Protocol { Wlr, Ext };

    static constexpr qsizetype maxTextBytes = 16 * 1024 * 1024;
    static constexpr qsizetype maxImageBytes = 64 * 1024 * 1024; // encoded, and decoded at 32 bpp
    static constexpr std::chrono::milliseconds responseTimeout {1000};
    static constexpr std::chrono::milliseconds fetchTimeout {10000};
    // A reader that takes no data for this long is given up on.
    static constexpr std::chrono::milliseconds serveTimeout {5000};
    // Marks Halvex's own selections.
    static constexpr const char *ownMimeType = "application/x-halvex-owner";

    // MIME type → bytes, what Halvex offers when it owns the clipboard.
    using Offers = QList<std::pair<QByteArray, QByteArray>>;

    // Connects to the compositor named in WAYLAND_DISPLAY when displayName is
    // empty and takes in the selection present now (which is not published).
    // start() begins watching.
    explicit WaylandClipboardWatcher(Protocol protocol, const QByteArray &displayName = {},
                                     QObject *parent = nullptr);
    // Stops the thread and waits for it.
    ~WaylandClipboardWatcher() override;

    // False when the compositor or the protocol is not available.
    bool isValid() const { return m_valid; }

    // Thread-safe; return at once. The last call wins. setSelection returns
    // a number to wait on with waitUntilOffered().
    quint64 setSelection(Offers offers);
    void clearSelection();
    void requestStop();

    // Thread-safe. Waits until the compositor has taken the selection of
    // that setSelection() call or a later one, so that whatever this process
    // sends the compositor next comes after it. False when the deadline
    // passed first or the watcher does not run.
    bool waitUntilOffered(quint64 request, QDeadlineTimer deadline);

Q_SIGNALS:
    void snapshotFetched(const ClipboardSnapshot &snapshot);

protected:
    void run() override;

private:
    struct Offer
    {
        zwlr_data_control_offer_v1 *proxy = nullptr;
        QList<QByteArray> mimeTypes;
    };
    struct Read
    {
        QByteArray mimeType;
        int fd = -1;
        qsizetype cap = 0;
        qsizetype size = 0;
        QList<QByteArray> chunks;
        QDeadlineTimer chunkDeadline;
    };
    struct Serve
    {
        int fd = -1;
        QByteArray data;
        qsizetype written = 0;
        QDeadlineTimer deadline;
    };
    struct Listener;

    void wake();
    void applyRequests();
    void offerSelection(const Offers &offers, quint64 request);
    void selectionOffered(wl_callback *callback);
    void selectionChanged(zwlr_data_control_offer_v1 *offer);
    void startNextRead();
    void readAvailable();
    void finishRead();
    void abandonRead();
    void publish(const ClipboardSnapshot &snapshot);
    void serve(zwlr_data_control_source_v1 *source, const char *mimeType, int fd);
    void writeAvailable(Serve &serve);
    int pollTimeout() const;

    std::unique_ptr<WaylandConnection> m_connection;
    bool m_valid = false;
    int m_wakeFd = -1;
    std::atomic_bool m_stopping = false;

    wl_seat *m_seat = nullptr;
    zwlr_data_control_manager_v1 *m_manager = nullptr;
    zwlr_data_control_device_v1 *m_device = nullptr;
    std::map<zwlr_data_control_offer_v1 *, Offer> m_offers;
    zwlr_data_control_offer_v1 *m_selection = nullptr;
    bool m_startedWatching = false;

    QList<QByteArray> m_candidates; // of m_selection, still to try
    std::optional<Read> m_read;
    QDeadlineTimer m_fetchDeadline;

    std::map<zwlr_data_control_source_v1 *, Offers> m_sources;
    QList<Serve> m_serving;
    std::map<wl_callback *, quint64> m_offerSyncs; // request each sync follows

    // Between the GUI thread and this one.
    QMutex m_requestMutex;
    std::optional<Offers> m_requestedSelection; // an empty list clears
    quint64 m_lastRequest = 0;
    quint64 m_offeredRequest = 0;
    QWaitCondition m_offered;
};
