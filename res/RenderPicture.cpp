// quillon_render_picture [--opaque] SVG OUTPUT [SIZE]: renders a picture's vector source at build
// time, at the size it declares or SIZE x SIZE, with its transparency or, with --opaque, over black.
//   OUTPUT.png: a PNG, compressed as far as it goes (the program's pages, the desktop's icons); an
//               opaque picture has no alpha channel.
//   OUTPUT.bmp: 32 bits a pixel, top row first, the pixels 128-byte aligned from the file's start,
//               with the alpha byte declared by bit masks. The program draws such a picture straight
//               from its embedded bytes, with no decoder.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgRenderer>
#include <QtEndian>
#include <cstdio>
#include <string_view>

namespace {

// The file header and the version 4 information header take 122 bytes; the gap up to this offset
// keeps the pixel rows aligned.
constexpr int kPixelOffset = 128;
constexpr int kInfoSize = 108;
constexpr quint32 kBitFields = 3;
// The PNG writer's quality 0 is zlib's strongest compression; decoding costs no more for it.
constexpr int kSmallest = 0;

template <typename T>
void Put(QByteArray& bytes, int nAt, T value) {
    qToLittleEndian(value, bytes.data() + nAt);
}

// An ARGB32 pixel, 0xAARRGGBB, written little-endian is blue, green, red and alpha, as the masks say.
QByteArray TopDownBitmap(const QImage& image) {
    const int nRow = image.width() * 4;
    QByteArray bytes(kPixelOffset + nRow * image.height(), '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put<quint32>(bytes, 2, static_cast<quint32>(bytes.size()));
    Put<quint32>(bytes, 10, kPixelOffset);
    Put<quint32>(bytes, 14, kInfoSize);
    Put<qint32>(bytes, 18, image.width());
    Put<qint32>(bytes, 22, -image.height());
    Put<quint16>(bytes, 26, 1);
    Put<quint16>(bytes, 28, 32);
    Put<quint32>(bytes, 30, kBitFields);
    Put<quint32>(bytes, 34, static_cast<quint32>(nRow * image.height()));
    Put<quint32>(bytes, 54, 0x00FF0000u);
    Put<quint32>(bytes, 58, 0x0000FF00u);
    Put<quint32>(bytes, 62, 0x000000FFu);
    Put<quint32>(bytes, 66, 0xFF000000u);
    Put<quint32>(bytes, 70, 0x73524742u);  // "sRGB"
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < pixels.height(); ++y) {
        const QRgb* pLine = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x)
            Put<quint32>(bytes, kPixelOffset + y * nRow + x * 4, pLine[x]);
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    const bool bOpaque = argc > 1 && std::string_view(argv[1]) == "--opaque";
    char** ppArgs = argv + (bOpaque ? 2 : 1);
    const int nArgs = argc - (bOpaque ? 2 : 1);
    if (nArgs != 2 && nArgs != 3) {
        std::fputs("usage: quillon_render_picture [--opaque] SVG OUTPUT.png|OUTPUT.bmp [SIZE]\n", stderr);
        return 2;
    }
    // Text in the picture needs the font database, which needs an application object.
    QGuiApplication app(argc, argv);
    const QString output = QString::fromLocal8Bit(ppArgs[1]);
    const bool bBitmap = output.endsWith(QLatin1String(".bmp"));
    QSvgRenderer renderer(QString::fromLocal8Bit(ppArgs[0]));
    QSize size = renderer.defaultSize();
    bool bSizeOk = true;
    if (nArgs == 3) {
        const int nSize = QString::fromLocal8Bit(ppArgs[2]).toInt(&bSizeOk);
        size = QSize(nSize, nSize);
    }
    if (!bSizeOk || size.isEmpty() || !renderer.isValid() ||
        (!bBitmap && !output.endsWith(QLatin1String(".png")))) {
        std::fprintf(stderr, "quillon_render_picture: cannot render %s to %s\n", ppArgs[0], ppArgs[1]);
        return 1;
    }
    QImage image(size, bOpaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    if (!bOpaque) image.convertTo(QImage::Format_ARGB32);
    QSaveFile file(output);
    const bool bWritten =
        file.open(QIODevice::WriteOnly) &&
        (bBitmap ? file.write(TopDownBitmap(image)) > 0 : image.save(&file, "PNG", kSmallest)) &&
        file.commit();
    if (!bWritten) {
        std::fprintf(stderr, "quillon_render_picture: cannot write %s\n", ppArgs[1]);
        return 1;
    }
    return 0;
}
