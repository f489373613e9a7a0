#include "clipboard/tesseract/TesseractTextRecognizer.h"

#include "clipboard/ClipboardLogging.h"

#include <QPainter>
#include <QStringList>

#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <cmath>
#include <cstdlib> // defines __GLIBC__ with the C library
#include <map>
#include <memory>
#include <string>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// Screenshots carry no resolution; this is what a desktop screen has.
constexpr int assumedDpi = 96;

struct Engine
{
    std::unique_ptr<tesseract::TessBaseAPI> api;
    bool ready = false;
};

// Gives the memory of a thread's engines back to the system when the thread
// ends (an idle pool thread ends after 30 s). The model data is many small
// blocks, which the C library would otherwise keep for good.
struct TrimHeapAtThreadExit
{
    ~TrimHeapAtThreadExit()
    {
#if defined(__GLIBC__)
        malloc_trim(0);
#endif
    }
};

// One engine per thread and configuration. Engines are never shared between
// threads; they go away with their thread.
Engine &engineForThisThread(const QByteArray &dataPath, const QByteArray &language)
{
    // Made first, so destroyed after the engines.
    thread_local TrimHeapAtThreadExit trim;
    thread_local std::map<std::pair<QByteArray, QByteArray>, Engine> engines;
    auto [it, inserted] = engines.try_emplace({dataPath, language});
    Engine &engine = it->second;
    if (inserted) {
        engine.api = std::make_unique<tesseract::TessBaseAPI>();
        const int status = engine.api->Init(dataPath.isEmpty() ? nullptr : dataPath.constData(),
                                            language.constData(), tesseract::OEM_LSTM_ONLY);
        engine.ready = status == 0;
        if (engine.ready)
            engine.api->SetPageSegMode(tesseract::PSM_AUTO);
        else
            engine.api.reset();
    }
    return engine;
}

// 8-bit grayscale; transparent areas become white, the usual background of
// dark text.
QImage grayscale(const QImage &image)
{
    QImage source = image;
    if (qint64(source.width()) * source.height() > TesseractTextRecognizer::maximumPixels) {
        const double scale = std::sqrt(double(TesseractTextRecognizer::maximumPixels)
                                       / (double(source.width()) * source.height()));
        source = source.scaled(int(source.width() * scale), int(source.height() * scale), Qt::KeepAspectRatio,
                               Qt::SmoothTransformation);
    }
    if (source.hasAlphaChannel()) {
        QImage opaque(source.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        QPainter painter(&opaque);
        painter.drawImage(0, 0, source);
        painter.end();
        source = std::move(opaque);
    }
    return source.convertToFormat(QImage::Format_Grayscale8);
}

} // namespace

TesseractTextRecognizer::TesseractTextRecognizer(const QByteArray &dataPath, const QByteArray &language)
    : m_dataPath(dataPath)
    , m_language(language)
{ }

TesseractTextRecognizer::~TesseractTextRecognizer() = default;

std::optional<QString> TesseractTextRecognizer::recognize(const QImage &image)
{
    if (image.isNull() || image.width() < minimumSide || image.height() < minimumSide)
        return std::nullopt;

    try {
        Engine &engine = engineForThisThread(m_dataPath, m_language);
        if (!engine.ready) {
            if (!m_reportedFailure.exchange(true)) {
                qCWarning(lcOcr).nospace()
                    << "cannot load the Tesseract language pack \"" << m_language.constData() << "\" from "
                    << (m_dataPath.isEmpty() ? "the default tessdata directory" : m_dataPath.constData())
                    << "; images get no recognised text";
            }
            return std::nullopt;
        }

        const QImage gray = grayscale(image);
        tesseract::TessBaseAPI &api = *engine.api;
        api.SetImage(gray.constBits(), gray.width(), gray.height(), 1, int(gray.bytesPerLine()));
        api.SetSourceResolution(assumedDpi);
        QStringList lines;
        if (api.Recognize(nullptr) == 0) {
            std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
            if (it) {
                do {
                    std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_TEXTLINE));
                    if (!text)
                        continue;
                    const QString line = QString::fromUtf8(text.get()).simplified();
                    if (!line.isEmpty())
                        lines.append(line);
                } while (it->Next(tesseract::RIL_TEXTLINE));
            }
        }
        api.Clear();
        if (lines.isEmpty())
            return std::nullopt;
        return lines.join(QLatin1Char(' '));
    } catch (const std::exception &e) {
        qCWarning(lcOcr) << "recognition failed:" << e.what();
    } catch (...) {
        qCWarning(lcOcr) << "recognition failed";
    }
    return std::nullopt;
}
