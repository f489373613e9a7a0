// Build tool: renders the application's SVG icon to PNG files of the given
// sizes, for the icon theme directories of the installation.
// Usage: halvex-render-icon <icon.svg> <output-dir> <size>...
//        writes <output-dir>/<size>x<size>/halvex.png

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: halvex-render-icon <icon.svg> <output-dir> <size>...\n");
        return 2;
    }
    for (const QString &sizeText : args.mid(3)) {
        bool ok = false;
        const int size = sizeText.toInt(&ok);
        if (!ok || size <= 0 || size > 1024) {
            std::fprintf(stderr, "halvex-render-icon: bad size %s\n", qPrintable(sizeText));
            return 2;
        }
        QImageReader reader(args.at(1));
        reader.setScaledSize(QSize(size, size));
        QImage image = reader.read();
        if (image.isNull()) {
            std::fprintf(stderr, "halvex-render-icon: cannot read %s: %s\n", qPrintable(args.at(1)),
                         qPrintable(reader.errorString()));
            return 1;
        }
        const QString dir = QDir(args.at(2)).filePath(QStringLiteral("%1x%1").arg(size));
        QDir().mkpath(dir);
        const QString file = QDir(dir).filePath(QStringLiteral("halvex.png"));
        if (!image.convertToFormat(QImage::Format_ARGB32).save(file, "PNG")) {
            std::fprintf(stderr, "halvex-render-icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
