#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// What the clipboard reader decides from what an owner offers, before it
// transfers or decodes anything: which targets to ask for and in which order,
// whether an announced size is acceptable, and whether an encoded image may
// be decoded. Pure functions over plain data, so that they can be tested and
// fuzzed without a display. Targets are X11 atoms, passed as plain numbers.
namespace ClipboardReadRules {

// The atoms the rules compare against, as the reader's connection knows them.
struct TargetAtoms
{
    uint32_t utf8String = 0;
    uint32_t textPlainUtf8 = 0;
    uint32_t string = 31; // XA_STRING: Latin-1 text
    uint32_t passwordHint = 0;
    uint32_t imagePng = 0;
};

// One image target worth asking for, with its MIME type.
struct ImageCandidate
{
    uint32_t target = 0;
    QByteArray mimeType;
};

// The targets an owner offers: the atoms of its TARGETS reply, or (when it
// refused TARGETS, targetsReply empty) plain text asked for blindly.
QList<uint32_t> offeredTargets(const std::optional<QByteArray> &targetsReply, const TargetAtoms &atoms);

// Content offered with the password-manager hint is never fetched.
bool isSecret(const QList<uint32_t> &targets, const TargetAtoms &atoms);

// Images in the order they are tried: PNG first, then every other image/*
// type that Qt can decode (decodable). names holds the atom name of each
// target (same index; an empty name where it is unknown).
QList<ImageCandidate> imageCandidates(const QList<uint32_t> &targets, const QList<QByteArray> &names,
                                      const TargetAtoms &atoms, const QList<QByteArray> &decodable);

// Text targets in the order they are tried: UTF8_STRING,
// text/plain;charset=utf-8, then STRING.
QList<uint32_t> textCandidates(const QList<uint32_t> &targets, const TargetAtoms &atoms);

// The size an INCR transfer announces (the first 32-bit item of its
// property, in the host's byte order); 0 when the property is too short.
qsizetype incrAnnouncedSize(QByteArrayView property);

// The bytes of a text transfer without the NUL terminators that often end it.
QByteArray withoutTrailingNuls(QByteArray bytes);

// The text of a transfer: trailing NUL terminators dropped, STRING read as
// Latin-1 and anything else as UTF-8 (invalid sequences become U+FFFD).
QString decodeText(QByteArray bytes, bool latin1);

// The outcome of reading an encoded image.
struct DecodedImage
{
    std::optional<QImage> image;
    bool tooLarge = false; // its header announced more than maxBytes at 32 bpp
};

// Reads the header first and allocates no pixel when the image would exceed
// maxBytes decoded at 32 bits per pixel, or when the header is unreadable.
DecodedImage decodeImage(const QByteArray &data, const QByteArray &mimeType, qsizetype maxBytes);

} // namespace ClipboardReadRules
