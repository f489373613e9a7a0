#include "fakes/FakePasteboardProvider.h"

void FakePasteboardProvider::copyText(const QString &text)
{
    ++m_changeCount;
    m_images.reset();
    m_text = text;
}

void FakePasteboardProvider::copyImages(const QList<QImage> &images)
{
    ++m_changeCount;
    m_images = images;
    m_text.reset();
}

void FakePasteboardProvider::copyImagesAndText(const QList<QImage> &images, const QString &text)
{
    ++m_changeCount;
    m_images = images;
    m_text = text;
}

std::optional<QList<QImage>> FakePasteboardProvider::readImages() const
{
    return m_images;
}

std::optional<QString> FakePasteboardProvider::string(const QString &type) const
{
    return type == plainTextType ? m_text : std::nullopt;
}

void FakePasteboardProvider::clearContents()
{
    ++m_changeCount;
    m_images.reset();
    m_text.reset();
}

bool FakePasteboardProvider::setString(const QString &string, const QString &type)
{
    if (type != plainTextType)
        return false;
    ++m_changeCount;
    ++m_writeCount;
    m_text = string;
    return true;
}

bool FakePasteboardProvider::writeImages(const QList<QImage> &images)
{
    ++m_changeCount;
    ++m_writeCount;
    m_images = images;
    return true;
}
