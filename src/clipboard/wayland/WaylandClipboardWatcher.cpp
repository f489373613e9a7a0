#include "clipboard/wayland/WaylandClipboardWatcher.h"

#include "clipboard/ClipboardLogging.h"
#include "clipboard/ClipboardReadRules.h"
#include "wayland/WaylandConnection.h"
#include "wayland/protocols/wlr-data-control-unstable-v1-client-protocol.h"

#include <QImageReader>
#include <QMutexLocker>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <wayland-client.h>

namespace {

const QByteArray passwordHint = QByteArrayLiteral("x-kde-passwordManagerHint");
const QByteArray imagePng = QByteArrayLiteral("image/png");
// Text types in order of preference; STRING is Latin-1.
const QList<QByteArray> textTypes
    = {QByteArrayLiteral("text/plain;charset=utf-8"), QByteArrayLiteral("UTF8_STRING"),
       QByteArrayLiteral("text/plain"), QByteArrayLiteral("TEXT"), QByteArrayLiteral("STRING")};
constexpr qsizetype readChunk = 256 * 1024;

// ext_data_control_manager_v1 is wlroots' data control under its
// standardised name: the same requests and events in the same order. Bound
// under that name, the wlroots client code speaks it as it is.
const wl_interface extManagerInterface = [] {
    wl_interface interface = zwlr_data_control_manager_v1_interface;
    interface.name = "ext_data_control_manager_v1";
    interface.version = 1;
    return interface;
}();

void discardPipeSignal()
{
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    const timespec none = {0, 0};
    while (sigtimedwait(&pipe, nullptr, &none) > 0) { }
}

} // namespace

struct WaylandClipboardWatcher::Listener
{
    static WaylandClipboardWatcher *self(void *data) { return static_cast<WaylandClipboardWatcher *>(data); }

    static void dataOffer(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer)
    {
        self(data)->m_offers.emplace(offer, Offer {offer, {}});
        zwlr_data_control_offer_v1_add_listener(offer, &Listener::offer, data);
    }
    static void selection(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer)
    {
        self(data)->selectionChanged(offer);
    }
    static void finished(void *data, zwlr_data_control_device_v1 *device)
    {
        qCWarning(lcClipboard) << "the compositor ended clipboard access; the clipboard is no longer watched";
        zwlr_data_control_device_v1_destroy(device);
        self(data)->m_device = nullptr;
        self(data)->m_stopping = true;
    }
    static void primarySelection(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer)
    {
        // Only the clipboard is watched.
        if (offer) {
            self(data)->m_offers.erase(offer);
            zwlr_data_control_offer_v1_destroy(offer);
        }
    }
    static void offerType(void *data, zwlr_data_control_offer_v1 *offer, const char *mimeType)
    {
        const auto it = self(data)->m_offers.find(offer);
        if (it != self(data)->m_offers.end() && it->second.mimeTypes.size() < 1000)
            it->second.mimeTypes.append(QByteArray(mimeType));
    }
    static void send(void *data, zwlr_data_control_source_v1 *source, const char *mimeType, int32_t fd)
    {
        self(data)->serve(source, mimeType, fd);
    }
    static void cancelled(void *data, zwlr_data_control_source_v1 *source)
    {
        // Another client owns the clipboard now.
        self(data)->m_sources.erase(source);
        zwlr_data_control_source_v1_destroy(source);
    }

    static void syncDone(void *data, wl_callback *callback, uint32_t)
    {
        self(data)->selectionOffered(callback);
    }

    static constexpr zwlr_data_control_device_v1_listener device
        = {dataOffer, selection, finished, primarySelection};
    static constexpr wl_callback_listener sync = {syncDone};
    static constexpr zwlr_data_control_offer_v1_listener offer = {offerType};
    static constexpr zwlr_data_control_source_v1_listener source = {send, cancelled};
};

WaylandClipboardWatcher::WaylandClipboardWatcher(Protocol protocol, const QByteArray &displayName,
                                                 QObject *parent)
    : QThread(parent)
    , m_connection(std::make_unique<WaylandConnection>(displayName))
{
    setObjectName(QStringLiteral("clipboard fetch"));
    qRegisterMetaType<ClipboardSnapshot>();
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (!m_connection->isValid() || m_wakeFd < 0) {
        qCWarning(lcClipboard) << "cannot connect to the Wayland compositor; the clipboard is not watched";
        return;
    }
    m_seat = static_cast<wl_seat *>(m_connection->bind(&wl_seat_interface, 1));
    m_manager = static_cast<zwlr_data_control_manager_v1 *>(
        protocol == Protocol::Ext ? m_connection->bind(&extManagerInterface, 1)
                                  : m_connection->bind(&zwlr_data_control_manager_v1_interface, 1));
    if (!m_seat || !m_manager) {
        qCWarning(lcClipboard) << "the compositor offers no clipboard access to background applications; the "
                                  "clipboard is not watched";
        return;
    }
    m_device = zwlr_data_control_manager_v1_get_data_device(m_manager, m_seat);
    zwlr_data_control_device_v1_add_listener(m_device, &Listener::device, this);
    // The selection present now arrives here and is not published.
    m_valid = m_connection->roundtrip() && m_device;
    m_startedWatching = true;
}

WaylandClipboardWatcher::~WaylandClipboardWatcher()
{
    requestStop();
    wait();
    abandonRead();
    for (Serve &serve : m_serving)
        ::close(serve.fd);
    for (const auto &[source, offers] : m_sources)
        zwlr_data_control_source_v1_destroy(source);
    for (const auto &[proxy, offer] : m_offers)
        zwlr_data_control_offer_v1_destroy(proxy);
    for (const auto &[callback, request] : m_offerSyncs)
        wl_callback_destroy(callback);
    if (m_device)
        zwlr_data_control_device_v1_destroy(m_device);
    if (m_manager)
        zwlr_data_control_manager_v1_destroy(m_manager);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void WaylandClipboardWatcher::wake()
{
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    }
}

void WaylandClipboardWatcher::requestStop()
{
    m_stopping = true;
    wake();
}

quint64 WaylandClipboardWatcher::setSelection(Offers offers)
{
    quint64 request = 0;
    {
        const QMutexLocker lock(&m_requestMutex);
        m_requestedSelection = std::move(offers);
        request = ++m_lastRequest;
    }
    wake();
    return request;
}

bool WaylandClipboardWatcher::waitUntilOffered(quint64 request, QDeadlineTimer deadline)
{
    QMutexLocker lock(&m_requestMutex);
    while (m_offeredRequest < request) {
        if (!isRunning() || m_stopping || !m_offered.wait(&m_requestMutex, deadline))
            return m_offeredRequest >= request;
    }
    return true;
}

void WaylandClipboardWatcher::clearSelection()
{
    setSelection({});
}

void WaylandClipboardWatcher::run()
{
    if (!m_valid)
        return;
    // A reader that goes away makes writes to its pipe fail; the signal that
    // comes with it is kept off this thread and discarded.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);

    wl_display *display = m_connection->display();
    while (!m_stopping) {
        applyRequests();
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0)
                break;
        }
        wl_display_flush(display);

        QList<pollfd> fds = {{wl_display_get_fd(display), POLLIN, 0},
                             {m_wakeFd, POLLIN, 0},
                             {m_read ? m_read->fd : -1, POLLIN, 0}};
        for (const Serve &serve : std::as_const(m_serving))
            fds.append({serve.fd, POLLOUT, 0});
        const int ready = ::poll(fds.data(), nfds_t(fds.size()), pollTimeout());
        if (ready > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP)))
            wl_display_read_events(display);
        else
            wl_display_cancel_read(display);
        if (wl_display_dispatch_pending(display) < 0 || !m_connection->isValid()) {
            qCWarning(lcClipboard)
                << "lost the connection to the Wayland compositor; the clipboard is no longer "
                   "watched";
            break;
        }
        if (fds[1].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(m_wakeFd, &count, sizeof count);
        }
        // Dispatching may have replaced the read: only its own descriptor counts.
        if (m_read && m_read->fd == fds[2].fd && fds[2].revents)
            readAvailable();
        for (qsizetype i = 3; i < fds.size(); ++i) {
            for (Serve &serve : m_serving) {
                if (serve.fd == fds[i].fd && fds[i].revents)
                    writeAvailable(serve);
            }
        }

        if (m_read && (m_read->chunkDeadline.hasExpired() || m_fetchDeadline.hasExpired())) {
            qCDebug(lcClipboard) << "the clipboard owner did not answer in time; nothing read";
            abandonRead();
            publish({});
        }
        for (Serve &serve : m_serving) {
            if (serve.deadline.hasExpired()) {
                qCDebug(lcClipboard) << "a reader of our clipboard stopped taking data; giving up on it";
                ::close(std::exchange(serve.fd, -1));
            }
        }
        m_serving.removeIf([](const Serve &serve) { return serve.fd < 0; });
    }
}

int WaylandClipboardWatcher::pollTimeout() const
{
    QDeadlineTimer next = QDeadlineTimer::Forever;
    if (m_read)
        next = std::min(m_read->chunkDeadline, m_fetchDeadline);
    for (const Serve &serve : m_serving)
        next = std::min(next, serve.deadline);
    return next.isForever() ? -1 : int(std::clamp<qint64>(next.remainingTime(), 0, 60000));
}

void WaylandClipboardWatcher::applyRequests()
{
    std::optional<Offers> requested;
    quint64 request = 0;
    {
        const QMutexLocker lock(&m_requestMutex);
        requested = std::exchange(m_requestedSelection, std::nullopt);
        request = m_lastRequest;
    }
    if (!requested || !m_device)
        return;
    if (!requested->isEmpty()) {
        offerSelection(*requested, request);
        return;
    }
    // Clearing only takes back what is ours.
    const auto current = m_offers.find(m_selection);
    if (current != m_offers.end() && current->second.mimeTypes.contains(ownMimeType))
        zwlr_data_control_device_v1_set_selection(m_device, nullptr);
}

void WaylandClipboardWatcher::offerSelection(const Offers &offers, quint64 request)
{
    zwlr_data_control_source_v1 *source = zwlr_data_control_manager_v1_create_data_source(m_manager);
    for (const auto &[mimeType, data] : offers)
        zwlr_data_control_source_v1_offer(source, mimeType.constData());
    zwlr_data_control_source_v1_offer(source, ownMimeType);
    zwlr_data_control_source_v1_add_listener(source, &Listener::source, this);
    m_sources.emplace(source, offers);
    zwlr_data_control_device_v1_set_selection(m_device, source);
    // The compositor answers requests in order: when it answers this sync,
    // it has the selection.
    wl_callback *sync = wl_display_sync(m_connection->display());
    wl_callback_add_listener(sync, &Listener::sync, this);
    m_offerSyncs.emplace(sync, request);
}

void WaylandClipboardWatcher::selectionOffered(wl_callback *callback)
{
    const auto it = m_offerSyncs.find(callback);
    if (it != m_offerSyncs.end()) {
        const QMutexLocker lock(&m_requestMutex);
        m_offeredRequest = std::max(m_offeredRequest, it->second);
        m_offerSyncs.erase(it);
    }
    wl_callback_destroy(callback);
    m_offered.wakeAll();
}

void WaylandClipboardWatcher::selectionChanged(zwlr_data_control_offer_v1 *offer)
{
    abandonRead();
    m_candidates.clear();
    if (m_selection && m_selection != offer) {
        m_offers.erase(m_selection);
        zwlr_data_control_offer_v1_destroy(m_selection);
    }
    m_selection = offer;
    if (!m_startedWatching) {
        qCDebug(lcClipboard) << "content present at start is not recorded";
        return;
    }
    if (!offer) {
        qCDebug(lcClipboard) << "the clipboard is empty";
        publish({});
        return;
    }
    const QList<QByteArray> &types = m_offers[offer].mimeTypes;
    if (types.contains(ownMimeType))
        return; // our own write: the provider already knows its content
    if (types.contains(passwordHint)) {
        qCDebug(lcClipboard) << "the clipboard holds a secret (password-manager hint); not read";
        publish({});
        return;
    }
    // Images: PNG first, then any other type Qt can decode; then text.
    if (types.contains(imagePng))
        m_candidates.append(imagePng);
    const QList<QByteArray> decodable = QImageReader::supportedMimeTypes();
    for (const QByteArray &type : types) {
        if (type != imagePng && type.startsWith("image/") && decodable.contains(type))
            m_candidates.append(type);
    }
    for (const QByteArray &type : textTypes) {
        if (types.contains(type))
            m_candidates.append(type);
    }
    m_fetchDeadline = QDeadlineTimer(fetchTimeout);
    startNextRead();
}

void WaylandClipboardWatcher::startNextRead()
{
    if (m_candidates.isEmpty()) {
        publish({});
        return;
    }
    const QByteArray mimeType = m_candidates.takeFirst();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcClipboard) << "cannot make a pipe to read the clipboard:" << strerror(errno);
        publish({});
        return;
    }
    zwlr_data_control_offer_v1_receive(m_selection, mimeType.constData(), fds[1]);
    ::close(fds[1]);
    wl_display_flush(m_connection->display());
    Read read;
    read.mimeType = mimeType;
    read.fd = fds[0];
    read.cap = mimeType.startsWith("image/") ? maxImageBytes : maxTextBytes;
    read.chunkDeadline = QDeadlineTimer(responseTimeout);
    m_read = std::move(read);
}

void WaylandClipboardWatcher::readAvailable()
{
    for (;;) {
        // Never more than the cap allows, plus one byte to notice an excess.
        const qsizetype wanted = qMin(readChunk, m_read->cap - m_read->size + 1);
        QByteArray chunk(wanted, Qt::Uninitialized);
        const ssize_t got = ::read(m_read->fd, chunk.data(), size_t(wanted));
        if (got > 0) {
            m_read->size += got;
            if (m_read->size > m_read->cap) {
                qCDebug(lcClipboard) << "the clipboard's" << m_read->mimeType << "exceeds" << m_read->cap
                                     << "bytes; not captured";
                abandonRead();
                publish({});
                return;
            }
            chunk.truncate(got);
            m_read->chunks.append(std::move(chunk));
            m_read->chunkDeadline = QDeadlineTimer(responseTimeout);
            continue;
        }
        if (got == 0) {
            finishRead();
            return;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN) {
            abandonRead();
            startNextRead();
        }
        return;
    }
}

void WaylandClipboardWatcher::finishRead()
{
    QByteArray data;
    data.reserve(m_read->size);
    for (QByteArray &chunk : m_read->chunks)
        data.append(std::exchange(chunk, {}));
    const QByteArray mimeType = m_read->mimeType;
    abandonRead();
    if (!mimeType.startsWith("image/")) {
        publish(ClipboardSnapshot::ofText(data, mimeType == "STRING"));
        return;
    }
    const ClipboardReadRules::DecodedImage decoded
        = ClipboardReadRules::decodeImage(data, mimeType, maxImageBytes);
    if (decoded.image) {
        publish(ClipboardSnapshot::ofImage(data, *decoded.image));
        return;
    }
    if (decoded.tooLarge) {
        qCDebug(lcClipboard) << "the clipboard image would decode to more than" << maxImageBytes
                             << "bytes; not captured";
        publish({});
        return;
    }
    startNextRead();
}

void WaylandClipboardWatcher::abandonRead()
{
    if (m_read) {
        ::close(m_read->fd);
        m_read.reset();
    }
}

void WaylandClipboardWatcher::publish(const ClipboardSnapshot &snapshot)
{
    m_candidates.clear();
    Q_EMIT snapshotFetched(snapshot);
}

void WaylandClipboardWatcher::serve(zwlr_data_control_source_v1 *source, const char *mimeType, int fd)
{
    const auto it = m_sources.find(source);
    const QByteArray type(mimeType);
    Serve serve;
    serve.fd = fd;
    if (it != m_sources.end()) {
        for (const auto &[offered, data] : it->second) {
            if (offered == type)
                serve.data = data;
        }
    }
    qCDebug(lcClipboard) << "serving" << serve.data.size() << "bytes of" << type;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    serve.deadline = QDeadlineTimer(serveTimeout);
    m_serving.append(std::move(serve));
    writeAvailable(m_serving.last());
}

void WaylandClipboardWatcher::writeAvailable(Serve &serve)
{
    while (serve.fd >= 0) {
        if (serve.written == serve.data.size()) {
            ::close(std::exchange(serve.fd, -1));
            return;
        }
        const ssize_t sent = ::write(serve.fd, serve.data.constData() + serve.written,
                                     size_t(serve.data.size() - serve.written));
        if (sent > 0) {
            serve.written += sent;
            serve.deadline = QDeadlineTimer(serveTimeout);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && errno == EAGAIN)
            return;
        // The reader went away.
        discardPipeSignal();
        ::close(std::exchange(serve.fd, -1));
    }
}
