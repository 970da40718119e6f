// quillon_render_picture [--opaque] SVG OUTPUT [SIZE]: renders a picture's vector source at build
// time, at the size it declares or SIZE x SIZE, with its transparency or, with --opaque, over black.
//   OUTPUT.png: a PNG, its rows unfiltered and compressed at zlib's fastest matching (the program's
//               pages, the desktop's icons); an opaque picture has no alpha channel. The program
//               decodes its pages as it starts: unfiltered rows of flat colours and gradients across
//               come out as small as filtered ones and decode a third faster, and a page compressed
//               so takes 70 KB instead of 55 and half the time to decode.
//   OUTPUT.bmp: 32 bits a pixel, top row first, the pixels 128-byte aligned from the file's start,
//               with the alpha byte declared by bit masks. The program draws such a picture straight
//               from its embedded bytes, with no decoder.
#include <png.h>

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
constexpr int kCompression = 3;

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

void AppendPng(png_structp png, png_bytep pData, png_size_t nSize) {
    static_cast<QByteArray*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(pData), static_cast<qsizetype>(nSize));
}

// False if the encoder failed; it then said why on standard error.
bool WritePng(const QImage& image, bool bOpaque, QByteArray& bytes) {
    const QImage pixels = image.convertToFormat(bOpaque ? QImage::Format_RGBX8888 : QImage::Format_RGBA8888);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &bytes, AppendPng, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(pixels.width()),
                 static_cast<png_uint_32>(pixels.height()), 8,
                 bOpaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, kCompression);
    png_write_info(png, info);
    // An opaque row holds an unused fourth byte a pixel.
    if (bOpaque) png_set_filler(png, 0, PNG_FILLER_AFTER);
    for (int y = 0; y < pixels.height(); ++y) png_write_row(png, pixels.constScanLine(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
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
    QByteArray bytes;
    if (bBitmap)
        bytes = TopDownBitmap(image);
    else if (!WritePng(image, bOpaque, bytes))
        bytes.clear();
    QSaveFile file(output);
    const bool bWritten = !bytes.isEmpty() && file.open(QIODevice::WriteOnly) &&
                          file.write(bytes) == bytes.size() && file.commit();
    if (!bWritten) {
        std::fprintf(stderr, "quillon_render_picture: cannot write %s\n", ppArgs[1]);
        return 1;
    }
    return 0;
}
