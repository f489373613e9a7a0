#include "clipboard/x11/X11ClipboardWatcher.h"

#include "clipboard/ClipboardLogging.h"
#include "clipboard/ClipboardReadRules.h"

#include <QImageReader>

#include <xcb/xfixes.h>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

constexpr qsizetype maxTargetsBytes = 64 * 1024;
constexpr uint32_t wholeProperty = 0x1fffffff; // in 32-bit units: "everything there is"

uint8_t eventType(const xcb_generic_event_t *event)
{
    return event->response_type & 0x7f;
}

} // namespace

X11ClipboardWatcher::X11ClipboardWatcher(xcb_window_t ownBase, uint32_t ownMask,
                                         const QByteArray &displayName, QObject *parent)
    : QThread(parent)
    , m_connection(displayName)
    , m_ownBase(ownBase)
    , m_ownMask(ownMask)
{
    setObjectName(QStringLiteral("clipboard fetch"));
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    xcb_connection_t *c = m_connection.get();
    if (!m_connection.isValid() || m_wakeFd < 0 || !m_connection.screen()) {
        qCWarning(lcClipboard) << "cannot connect to the X display; the clipboard is not watched";
        return;
    }
    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present) {
        qCWarning(lcClipboard) << "the X server lacks XFIXES; the clipboard is not watched";
        return;
    }
    m_xfixesEventBase = xfixes->first_event;
    XcbReply<xcb_xfixes_query_version_reply_t> version(
        xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 1, 0), nullptr));
    if (!version)
        return;

    m_atoms.clipboard = m_connection.atom("CLIPBOARD");
    m_atoms.targets = m_connection.atom("TARGETS");
    m_atoms.incr = m_connection.atom("INCR");
    m_atoms.utf8String = m_connection.atom("UTF8_STRING");
    m_atoms.textPlainUtf8 = m_connection.atom("text/plain;charset=utf-8");
    m_atoms.passwordHint = m_connection.atom("x-kde-passwordManagerHint");
    m_atoms.imagePng = m_connection.atom("image/png");
    m_atoms.property = m_connection.atom("HALVEX_CLIPBOARD");

    m_eventWindow = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_eventWindow, m_connection.rootWindow(), 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_xfixes_select_selection_input(c, m_eventWindow, m_atoms.clipboard,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                                          | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                                          | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    // A round trip: from here on the server reports every owner change.
    XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    m_valid = sync && m_connection.isValid();
}

X11ClipboardWatcher::~X11ClipboardWatcher()
{
    requestStop();
    wait();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void X11ClipboardWatcher::requestStop()
{
    m_stopping = true;
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    }
}

bool X11ClipboardWatcher::isOwnWindow(xcb_window_t window) const
{
    return m_ownMask != 0 && window != XCB_WINDOW_NONE && (window & ~m_ownMask) == m_ownBase;
}

void X11ClipboardWatcher::handleEvent(const xcb_generic_event_t *event)
{
    if (eventType(event) != m_xfixesEventBase + XCB_XFIXES_SELECTION_NOTIFY)
        return;
    const auto *notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t *>(event);
    if (notify->selection != m_atoms.clipboard)
        return;
    // A destroyed owner window or a closed client leaves no owner.
    const bool ownerLeft = notify->subtype != XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER;
    m_pending = OwnerChange {ownerLeft ? xcb_window_t(XCB_WINDOW_NONE) : notify->owner,
                             notify->selection_timestamp};
}

void X11ClipboardWatcher::drainEvents()
{
    while (XcbReply<xcb_generic_event_t> event {xcb_poll_for_event(m_connection.get())})
        handleEvent(event.get());
}

XcbReply<xcb_generic_event_t> X11ClipboardWatcher::nextEvent(const QDeadlineTimer &deadline)
{
    xcb_connection_t *c = m_connection.get();
    for (;;) {
        if (m_stopping || xcb_connection_has_error(c))
            return {};
        if (XcbReply<xcb_generic_event_t> event {xcb_poll_for_event(c)})
            return event;
        if (deadline.hasExpired())
            return {};
        xcb_flush(c);
        pollfd fds[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        const qint64 remaining = deadline.remainingTime();
        const int timeout = remaining < 0 ? -1 : int(qMin<qint64>(remaining, 60000));
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR)
            return {};
    }
}

void X11ClipboardWatcher::run()
{
    if (!m_valid)
        return;
    while (!m_stopping) {
        if (!m_pending) {
            XcbReply<xcb_generic_event_t> event = nextEvent(QDeadlineTimer::Forever);
            if (!event) {
                if (xcb_connection_has_error(m_connection.get())) {
                    qCWarning(lcClipboard) << "lost the X connection; the clipboard is no longer watched";
                    break;
                }
                continue;
            }
            handleEvent(event.get());
            continue;
        }
        // Coalesce a burst of changes: only the newest owner matters.
        drainEvents();
        const OwnerChange change = *std::exchange(m_pending, std::nullopt);
        if (isOwnWindow(change.owner))
            continue; // our own write: the provider already knows its content
        if (change.owner == XCB_WINDOW_NONE) {
            qCDebug(lcClipboard) << "the clipboard owner left; the clipboard is empty";
            Q_EMIT snapshotFetched({});
            continue;
        }
        std::optional<ClipboardSnapshot> snapshot = fetch(change);
        if (!snapshot) {
            qCDebug(lcClipboard) << "a newer clipboard change replaced the one being read";
            continue;
        }
        // Complete: what the user copied then, even if a newer copy waits.
        Q_EMIT snapshotFetched(*snapshot);
    }
}

std::optional<ClipboardSnapshot> X11ClipboardWatcher::fetch(const OwnerChange &change)
{
    // A requestor window of its own for every fetch: an owner still busy with
    // an abandoned transfer writes to a window that no longer exists instead
    // of into the next fetch.
    xcb_connection_t *c = m_connection.get();
    const xcb_window_t requestor = xcb_generate_id(c);
    const uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, requestor, m_connection.rootWindow(), 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &eventMask);
    m_fetchDeadline = QDeadlineTimer(fetchTimeout);
    std::optional<ClipboardSnapshot> snapshot = fetchFrom(requestor, change);
    xcb_destroy_window(c, requestor);
    xcb_flush(c);
    return snapshot;
}

std::optional<ClipboardSnapshot> X11ClipboardWatcher::fetchFrom(xcb_window_t requestor,
                                                                const OwnerChange &change)
{
    const Transfer targetsTransfer = convert(requestor, m_atoms.targets, change.time, maxTargetsBytes);
    switch (targetsTransfer.outcome) {
    case Outcome::Superseded:
    case Outcome::Stopped:
        return std::nullopt;
    case Outcome::TimedOut:
        qCDebug(lcClipboard) << "the clipboard owner did not answer; nothing read";
        return ClipboardSnapshot {};
    default:
        break;
    }

    const ClipboardReadRules::TargetAtoms atoms = targetAtoms();
    const QList<xcb_atom_t> targets = ClipboardReadRules::offeredTargets(
        targetsTransfer.outcome == Outcome::Ok ? std::optional<QByteArray>(targetsTransfer.data)
                                               : std::nullopt,
        atoms);
    if (ClipboardReadRules::isSecret(targets, atoms)) {
        qCDebug(lcClipboard) << "the clipboard holds a secret (password-manager hint); not read";
        return ClipboardSnapshot {};
    }

    // Images: PNG first, then any other image type Qt can decode.
    const QList<ClipboardReadRules::ImageCandidate> images = ClipboardReadRules::imageCandidates(
        targets, atomNames(targets), atoms, QImageReader::supportedMimeTypes());
    for (const ClipboardReadRules::ImageCandidate &candidate : images) {
        const Transfer transfer = convert(requestor, candidate.target, change.time, maxImageBytes);
        if (transfer.outcome == Outcome::Superseded || transfer.outcome == Outcome::Stopped)
            return std::nullopt;
        if (transfer.outcome == Outcome::TooLarge) {
            qCDebug(lcClipboard) << "the clipboard image exceeds" << maxImageBytes << "bytes; not captured";
            return ClipboardSnapshot {};
        }
        if (transfer.outcome != Outcome::Ok)
            continue;
        ClipboardReadRules::DecodedImage decoded
            = ClipboardReadRules::decodeImage(transfer.data, candidate.mimeType, maxImageBytes);
        if (decoded.image)
            return ClipboardSnapshot::ofImage(transfer.data, *decoded.image);
        if (decoded.tooLarge) {
            qCDebug(lcClipboard) << "the clipboard image would decode to more than" << maxImageBytes
                                 << "bytes; not captured";
            return ClipboardSnapshot {};
        }
    }

    for (const xcb_atom_t target : ClipboardReadRules::textCandidates(targets, atoms)) {
        const Transfer transfer = convert(requestor, target, change.time, maxTextBytes);
        if (transfer.outcome == Outcome::Superseded || transfer.outcome == Outcome::Stopped)
            return std::nullopt;
        if (transfer.outcome == Outcome::TooLarge) {
            qCDebug(lcClipboard) << "the clipboard text exceeds" << maxTextBytes << "bytes; not captured";
            return ClipboardSnapshot {};
        }
        if (transfer.outcome != Outcome::Ok)
            continue;
        return ClipboardSnapshot::ofText(transfer.data, target == XCB_ATOM_STRING);
    }
    return ClipboardSnapshot {};
}

ClipboardReadRules::TargetAtoms X11ClipboardWatcher::targetAtoms() const
{
    ClipboardReadRules::TargetAtoms atoms;
    atoms.utf8String = m_atoms.utf8String;
    atoms.textPlainUtf8 = m_atoms.textPlainUtf8;
    atoms.string = XCB_ATOM_STRING;
    atoms.passwordHint = m_atoms.passwordHint;
    atoms.imagePng = m_atoms.imagePng;
    return atoms;
}

QDeadlineTimer X11ClipboardWatcher::responseDeadline() const
{
    const QDeadlineTimer response(responseTimeout);
    return response.deadline() < m_fetchDeadline.deadline() ? response : m_fetchDeadline;
}

X11ClipboardWatcher::Transfer X11ClipboardWatcher::convert(xcb_window_t requestor, xcb_atom_t target,
                                                           xcb_timestamp_t time, qsizetype cap)
{
    xcb_connection_t *c = m_connection.get();
    Transfer result;
    xcb_convert_selection(c, requestor, m_atoms.clipboard, target, m_atoms.property, time);
    xcb_flush(c);

    const QDeadlineTimer deadline = responseDeadline();
    for (;;) {
        XcbReply<xcb_generic_event_t> event = nextEvent(deadline);
        if (!event) {
            result.outcome = m_stopping ? Outcome::Stopped : Outcome::TimedOut;
            return result;
        }
        if (eventType(event.get()) == XCB_SELECTION_NOTIFY) {
            const auto *notify = reinterpret_cast<const xcb_selection_notify_event_t *>(event.get());
            if (notify->requestor == requestor && notify->target == target) {
                if (notify->property == XCB_ATOM_NONE) {
                    result.outcome = Outcome::Refused;
                    return result;
                }
                break;
            }
            continue;
        }
        handleEvent(event.get());
        if (m_pending) {
            result.outcome = Outcome::Superseded;
            return result;
        }
    }

    // Size the property before reading any of it.
    XcbReply<xcb_get_property_reply_t> head(xcb_get_property_reply(
        c, xcb_get_property(c, false, requestor, m_atoms.property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1),
        nullptr));
    if (!head)
        return result;
    if (head->type == m_atoms.incr) {
        const qsizetype announced = ClipboardReadRules::incrAnnouncedSize(
            QByteArrayView(static_cast<const char *>(xcb_get_property_value(head.get())),
                           xcb_get_property_value_length(head.get())));
        return receiveIncrementally(requestor, announced, cap);
    }
    const qsizetype size
        = qsizetype(xcb_get_property_value_length(head.get())) + qsizetype(head->bytes_after);
    if (size > cap) {
        xcb_delete_property(c, requestor, m_atoms.property);
        result.outcome = Outcome::TooLarge;
        return result;
    }
    XcbReply<xcb_get_property_reply_t> whole(
        xcb_get_property_reply(c,
                               xcb_get_property(c, true, requestor, m_atoms.property,
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, uint32_t((size + 3) / 4)),
                               nullptr));
    if (!whole)
        return result;
    result.type = whole->type;
    result.data = QByteArray(static_cast<const char *>(xcb_get_property_value(whole.get())),
                             xcb_get_property_value_length(whole.get()));
    result.outcome = Outcome::Ok;
    return result;
}

X11ClipboardWatcher::Transfer X11ClipboardWatcher::receiveIncrementally(xcb_window_t requestor,
                                                                        qsizetype announced, qsizetype cap)
{
    xcb_connection_t *c = m_connection.get();
    Transfer result;
    // The announced size is a lower bound: refuse before the first chunk.
    if (announced > cap) {
        result.outcome = Outcome::TooLarge;
        return result;
    }
    // Deleting the INCR property asks the owner for the first chunk.
    xcb_delete_property(c, requestor, m_atoms.property);
    xcb_flush(c);
    // Chunks are kept apart and joined once at the end, so that growing a
    // single buffer never holds two copies of a transfer near the cap.
    QList<QByteArray> chunks;
    qsizetype total = 0;
    bool draining = false;
    for (;;) {
        const QDeadlineTimer deadline = responseDeadline();
        bool chunkReady = false;
        while (!chunkReady) {
            XcbReply<xcb_generic_event_t> event = nextEvent(deadline);
            if (!event) {
                result.outcome = m_stopping ? Outcome::Stopped : Outcome::TimedOut;
                return result;
            }
            if (eventType(event.get()) == XCB_PROPERTY_NOTIFY) {
                const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event.get());
                chunkReady = notify->window == requestor && notify->atom == m_atoms.property
                    && notify->state == XCB_PROPERTY_NEW_VALUE;
                continue;
            }
            handleEvent(event.get());
            if (m_pending) {
                result.outcome = Outcome::Superseded;
                return result;
            }
        }
        XcbReply<xcb_get_property_reply_t> chunk(
            xcb_get_property_reply(c,
                                   xcb_get_property(c, true, requestor, m_atoms.property,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, wholeProperty),
                                   nullptr));
        if (!chunk)
            return result;
        const int length = xcb_get_property_value_length(chunk.get());
        if (length == 0) {
            if (draining) {
                result.outcome = Outcome::TooLarge;
                return result;
            }
            break;
        }
        total += length;
        if (total > cap && !draining) {
            // Too large after all (the owner announced less). Abandoning the
            // transfer would leave the owner waiting or failing on a window
            // that is gone, and some owners (xclip) exit then, taking the
            // user's copy with them: read the rest and discard it.
            draining = true;
            chunks.clear();
            m_fetchDeadline = QDeadlineTimer(drainTimeout);
        }
        if (draining)
            continue;
        result.type = chunk->type;
        chunks.append(QByteArray(static_cast<const char *>(xcb_get_property_value(chunk.get())), length));
    }
    result.data.reserve(total);
    for (QByteArray &piece : chunks)
        result.data.append(std::exchange(piece, {}));
    result.outcome = Outcome::Ok;
    return result;
}

QList<QByteArray> X11ClipboardWatcher::atomNames(const QList<xcb_atom_t> &atoms)
{
    xcb_connection_t *c = m_connection.get();
    QList<xcb_get_atom_name_cookie_t> cookies;
    cookies.reserve(atoms.size());
    for (const xcb_atom_t atom : atoms)
        cookies.append(xcb_get_atom_name(c, atom));
    QList<QByteArray> names;
    names.reserve(atoms.size());
    for (const xcb_get_atom_name_cookie_t cookie : cookies) {
        XcbReply<xcb_get_atom_name_reply_t> reply(xcb_get_atom_name_reply(c, cookie, nullptr));
        names.append(reply ? QByteArray(xcb_get_atom_name_name(reply.get()),
                                        xcb_get_atom_name_name_length(reply.get()))
                           : QByteArray());
    }
    return names;
}
