// Renders the program's SVG icon into one square PNG of the desktop's icon theme. It runs
// at build time and draws with the same renderer as the tray icon, so the desktop's menus
// and the tray show the same art and only the SVG is kept in the repository.
//
// Usage: vocalon-render-icon INPUT.svg OUTPUT.png SIZE

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s INPUT.svg OUTPUT.png SIZE\n", argv[0]);
        return 2;
    }
    const int nSize = std::atoi(argv[3]);
    if (nSize < 1 || nSize > 1024) {
        std::fprintf(stderr, "size must be 1 to 1024 pixels: %s\n", argv[3]);
        return 2;
    }
    // A QImage paints without a GUI application, so the build needs no display.
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "cannot read the SVG icon %s\n", argv[1]);
        return 1;
    }
    QImage image(nSize, nSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
