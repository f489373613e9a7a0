#pragma once

#include "clipboard/TextRecognizer.h"

#include <QByteArray>

#include <atomic>

// Text recognition with Tesseract: LSTM engine, automatic page segmentation,
// grayscale input. Each text line's best reading, in Tesseract's reading
// order, joined with single spaces. Every worker thread gets its own engine,
// created on first use and kept for the thread's lifetime.
//
// Images smaller than minimumSide pixels on a side (including null images
// from undecodable data) give nothing without touching the engine. Images
// larger than maximumPixels are scaled down first. A language pack that is
// missing or cannot be loaded gives nothing, and the "halvex.clipboard.ocr" category
// says why, once per recogniser.
class TesseractTextRecognizer final : public TextRecognizer
{
public:
    // dataPath: the tessdata directory; empty means Tesseract's built-in one
    // (or TESSDATA_PREFIX).
    explicit TesseractTextRecognizer(const QByteArray &dataPath = {},
                                     const QByteArray &language = QByteArrayLiteral("eng"));
    ~TesseractTextRecognizer() override;

    std::optional<QString> recognize(const QImage &image) override;

    static constexpr int minimumSide = 3;
    static constexpr qint64 maximumPixels = 40'000'000;

private:
    const QByteArray m_dataPath;
    const QByteArray m_language;
    std::atomic_bool m_reportedFailure = false;
};
