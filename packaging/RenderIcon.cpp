// quillon_render_icon SVG SIZE PNG: renders the icon's vector source to a square PNG at build time.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: quillon_render_icon SVG SIZE PNG\n", stderr);
        return 2;
    }
    // Text in the picture needs the font database, which needs an application object.
    QGuiApplication app(argc, argv);
    bool bSizeOk = false;
    const int nSize = QString::fromLocal8Bit(argv[2]).toInt(&bSizeOk);
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!bSizeOk || nSize <= 0 || !renderer.isValid()) {
        std::fprintf(stderr, "quillon_render_icon: cannot render %s at %s px\n", argv[1], argv[2]);
        return 1;
    }
    QImage image(nSize, nSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "quillon_render_icon: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
