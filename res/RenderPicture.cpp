// quillon_render_picture SVG OUTPUT [SIZE]: renders a picture's vector source at build time, at
// the size it declares or SIZE x SIZE.
//   OUTPUT.png: with its transparency (icons).
//   OUTPUT.bmp: opaque, 32 bits a pixel, top row first, its pixels 64-byte aligned from the file's
//               start. The program draws such a picture straight from its embedded bytes, with no
//               decoding and no copy.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgRenderer>
#include <QtEndian>
#include <cstdio>
#include <cstring>

namespace {

// The headers take 54 bytes; the gap up to this offset keeps the pixel rows aligned.
constexpr int kPixelOffset = 64;

template <typename T>
void Put(QByteArray& bytes, int nAt, T value) {
    qToLittleEndian(value, bytes.data() + nAt);
}

QByteArray TopDownBitmap(const QImage& image) {
    const int nRow = image.width() * 4;
    QByteArray bytes(kPixelOffset + nRow * image.height(), '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put<quint32>(bytes, 2, static_cast<quint32>(bytes.size()));
    Put<quint32>(bytes, 10, kPixelOffset);
    Put<quint32>(bytes, 14, 40);
    Put<qint32>(bytes, 18, image.width());
    Put<qint32>(bytes, 22, -image.height());
    Put<quint16>(bytes, 26, 1);
    Put<quint16>(bytes, 28, 32);
    Put<quint32>(bytes, 34, static_cast<quint32>(nRow * image.height()));
    // A 32-bit pixel in memory order is blue, green, red and a byte the format leaves unused: on a
    // little-endian machine, exactly what an opaque image holds.
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* pLine = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            Put<quint32>(bytes, kPixelOffset + y * nRow + x * 4, pLine[x] | 0xFF000000u);
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fputs("usage: quillon_render_picture SVG OUTPUT.png|OUTPUT.bmp [SIZE]\n", stderr);
        return 2;
    }
    // Text in the picture needs the font database, which needs an application object.
    QGuiApplication app(argc, argv);
    const QString output = QString::fromLocal8Bit(argv[2]);
    const bool bBitmap = output.endsWith(QLatin1String(".bmp"));
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    QSize size = renderer.defaultSize();
    bool bSizeOk = true;
    if (argc == 4) {
        const int nSize = QString::fromLocal8Bit(argv[3]).toInt(&bSizeOk);
        size = QSize(nSize, nSize);
    }
    if (!bSizeOk || size.isEmpty() || !renderer.isValid() ||
        (!bBitmap && !output.endsWith(QLatin1String(".png")))) {
        std::fprintf(stderr, "quillon_render_picture: cannot render %s to %s\n", argv[1], argv[2]);
        return 1;
    }
    QImage image(size, bBitmap ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    QSaveFile file(output);
    const bool bWritten = file.open(QIODevice::WriteOnly) &&
                          (bBitmap ? file.write(TopDownBitmap(image)) > 0 : image.save(&file, "PNG")) &&
                          file.commit();
    if (!bWritten) {
        std::fprintf(stderr, "quillon_render_picture: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
